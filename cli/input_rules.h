// What the user types, read and checked with the rules the tool's windows use
// (ctap/input_rules.h): PINs, fingerprint names, slot numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_env.h"
#include "cli/options.h"
#include "cli/reporter.h"
#include "ctap/input_rules.h"

namespace kelvora::cli {

// Why a PIN (UTF-8), current or new, cannot be sent to the key with `productId`; empty
// when it can.
std::string PinProblem(std::string_view pinUtf8, std::uint16_t productId);

// Why a fingerprint name (UTF-8) cannot be given; empty when it can.
std::string NameProblem(std::string_view nameUtf8);

// A slot number from 0 to 255, nullopt for anything else.
std::optional<std::uint16_t> ParseSlot(std::string_view text);

// Reads one PIN: `literal` when given on the command line, otherwise from the input
// (prompt, standard input or --pin-fd), and checks it with PinProblem, so that a PIN the key
// could only refuse never spends one of its retries. A missing answer or a PIN that breaks
// the rules is reported (usage, or cancelled on an interrupt) and gives nullopt with
// `exitCode` set.
std::optional<std::string> ReadPin(CliEnv& env, Reporter& reporter, std::uint16_t productId,
                                   std::string_view prompt,
                                   const std::optional<std::string>& literal, int& exitCode);

// Wipes a PIN read with ReadPin or ReadNewPin when the scope that holds it ends.
class WipedAtExit {
  public:
    explicit WipedAtExit(std::optional<std::string>& pin) : pin_(pin) {}
    ~WipedAtExit();
    WipedAtExit(const WipedAtExit&) = delete;
    WipedAtExit& operator=(const WipedAtExit&) = delete;

  private:
    std::optional<std::string>& pin_;
};

// Reads a new PIN and, at a terminal prompt, its confirmation.
std::optional<std::string> ReadNewPin(CliEnv& env, const CliOptions& options, Reporter& reporter,
                                      std::uint16_t productId,
                                      const std::optional<std::string>& literal, int& exitCode);

}  // namespace kelvora::cli
