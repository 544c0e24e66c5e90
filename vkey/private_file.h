// Reading and writing a file that holds a secret (the daemon's state, with the PIN hash).
//
// A write never follows a link planted at the file's place nor goes through a name anyone
// can guess: the text goes to a fresh private file (mode 0600 on Linux) in the same folder,
// reaches the disk, and is renamed over the old one; a crash leaves the old file or the new
// one. A file that others could have written is refused on reading, since whoever wrote it
// chose the PIN.
#pragma once

#include <string>

namespace kelvora::vkey {

enum class PrivateRead {
    kRead,
    kMissing,
    kUnsafe,  // a link, not a plain file, not the user's own, or writable by others
    kFailed,
};

PrivateRead ReadPrivateFile(const std::string& path, std::string& contents);

bool WritePrivateFile(const std::string& path, const std::string& contents);

}  // namespace kelvora::vkey
