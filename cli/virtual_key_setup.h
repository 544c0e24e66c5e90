// --virtual MODEL: an in-process virtual key, answering touches by itself, whose state can be
// kept in a file between runs (--state FILE).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vkey/clock.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::cli {

class InProcessKey {
  public:
    InProcessKey(const vkey::Config& config, vkey::State state,
                 std::optional<std::string> stateFile);
    ~InProcessKey();
    InProcessKey(const InProcessKey&) = delete;
    InProcessKey& operator=(const InProcessKey&) = delete;

    HidBackend& Backend() { return backend_; }
    vkey::VirtualKey& Key() { return key_; }
    // Writes the state file, when there is one. False with `error` set when it failed.
    bool Save(std::string& error);

  private:
    vkey::SteadyClock clock_;
    vkey::VirtualKey key_;
    vkey::VirtualHidBackend backend_;
    std::optional<std::string> stateFile_;
};

// Parses MODEL (1-7) and loads the state file if it exists. Null with `error` set for a bad
// model or a state file that cannot be read.
std::unique_ptr<InProcessKey> MakeInProcessKey(const std::string& model,
                                               const std::optional<std::string>& stateFile,
                                               std::string& error);

}  // namespace kelvora::cli
