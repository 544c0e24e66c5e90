// The daemon's state file: what a key remembers (PIN hash, counters, templates, passkeys) in a
// small line-based text form, written as a private file (vkey/private_file.h): atomically, so that
// a crash leaves either the old or the new file, and never through a planted link.
//
//   kelvora-vkey-state 1
//   pin <32 hex digits | ->
//   pin-retries <n>
//   fingerprint-retries <n>
//   template <slot> <finger> <name as hex, or ->      (one line per template)
//   passkey <credential id> <rp id> <rp name|-> <user id> <user name|-> <display name|->
//           <private key> <sign count>              (one line per passkey, all hex but
//                                                    the count, oldest first)
#pragma once

#include <string>

#include "vkey/state.h"

namespace kelvora::vkey {

// kUnsafe: others could have written the file (or it is a link); it is not used.
enum class LoadStatus { kLoaded, kMissing, kCorrupt, kUnsafe };

std::string SerializeState(const State& state);
// Parses the text form; false on any deviation (the state is then left untouched).
bool ParseState(const std::string& text, State& state);

LoadStatus LoadStateFile(const std::string& path, State& state);
bool SaveStateFile(const std::string& path, const State& state);

}  // namespace kelvora::vkey
