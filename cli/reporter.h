// How a command's outcome reaches the user: readable text, or with --json one JSON object on
// standard output (errors included), while progress and warnings always go to standard error.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_env.h"
#include "cli/exit_codes.h"
#include "cli/json.h"

namespace kelvora::cli {

class Reporter {
  public:
    Reporter(CliEnv& env, bool json) : env_(env), json_(json) {}

    bool json() const { return json_; }

    // Reports success: `result`'s members in JSON mode, `text` otherwise. Returns kExitOk.
    int Done(const Json& result, std::string_view text);

    // Reports a failure and returns `exitCode`. `keyStatus` is the key's status when the
    // failure came from it.
    int Fail(int exitCode, std::string_view message, std::optional<int> keyStatus = {});

    // A failure made of what the key answered: the exit status follows from the status
    // (wrong PIN, blocked, key gone, ...). `what` says what failed ("changing the PIN").
    int FailWithStatus(std::string_view what, int status,
                       std::optional<std::uint32_t> retries = {});

    // A line on standard error (progress, warnings, prompts for action).
    void Note(std::string_view text);

    // While `*gone` is set, Done and any Fail other than no-key report the key's removal
    // instead: what the command saw after the key went away (an empty list, a missing PIN)
    // is not the key's state. Null stops watching.
    void WatchKey(const std::atomic<bool>* gone) { keyGone_ = gone; }

  private:
    bool KeyGone() const { return keyGone_ && keyGone_->load(); }
    int Emit(int exitCode, std::string_view message, std::optional<int> keyStatus);

    CliEnv& env_;
    bool json_;
    const std::atomic<bool>* keyGone_ = nullptr;
};

// The exit status for a failed key status (see exit_codes.h).
int ExitForStatus(int status);

}  // namespace kelvora::cli
