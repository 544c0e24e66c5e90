// Lines from an open file descriptor, read a byte at a time so that nothing beyond a line is
// consumed: a PIN file may hold several lines for several questions.
#pragma once

#include <optional>
#include <string>

namespace kelvora::cli {

enum class ByteRead { kByte, kEnd, kInterrupted };

// One byte of `fd` into `c`; the platform's own read (system_io_linux.cpp, system_io_win.cpp).
ByteRead ReadFdByte(int fd, char& c);

// The next line without its line end ("\n" or "\r\n"). nullopt at the end of the input when
// nothing was read, and when the read was interrupted.
std::optional<std::string> ReadFdLine(int fd);

// ReadFdLine with the echo off while `fd` is a terminal; the echo comes back afterwards,
// also when Ctrl-C or SIGTERM ends the program during the read (system_io_*.cpp).
std::optional<std::string> ReadSecretFdLine(int fd);

}  // namespace kelvora::cli
