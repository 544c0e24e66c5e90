// The process's own input and interrupt handling, for main. Platform code lives in
// system_io_linux.cpp and system_io_win.cpp.
#pragma once

#include <atomic>
#include <memory>

#include "cli/cli_env.h"

namespace kelvora::cli {

// Prompts on the terminal (without echo for secrets) and reads standard input.
std::unique_ptr<Input> MakeTerminalInput();

// Reads lines from an open file descriptor (0 for standard input), without prompting.
std::unique_ptr<Input> MakeDescriptorInput(int fd);

// Ctrl-C sets `flag`. With `exitAtOnce` the process also ends with status 130 at once (a
// blocking wait for a touch stops); otherwise a second Ctrl-C does so.
void InstallInterruptHandler(std::atomic<bool>& flag, bool exitAtOnce);

}  // namespace kelvora::cli
