// What the user types, read and checked as the tool's windows check it: PINs of 4 to 63
// characters, fingerprint names of 2 to 8 characters, slot numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_env.h"
#include "cli/options.h"
#include "cli/reporter.h"

namespace kelvora::cli {

inline constexpr std::size_t kMinPinLength = 4;
inline constexpr std::size_t kMaxPinLength = 63;
// CTAP 2.1 §6.5.5.5: a PIN is at most 63 bytes of UTF-8, whatever its character count.
inline constexpr std::size_t kMaxPinBytes = 63;
inline constexpr std::size_t kMinNameLength = 2;
inline constexpr std::size_t kMaxNameLength = 8;
// Fingerprints are enrolled into identifiers 0 to 48.
inline constexpr std::uint16_t kMaxFingerprints = 49;

// Why a new PIN (UTF-8) cannot be set; empty when it can. Lengths count UTF-16 units as the
// windows do; the byte limit of CTAP applies on top.
std::string NewPinProblem(std::string_view pinUtf8);

// Why a fingerprint name (UTF-8) cannot be given; empty when it can.
std::string NameProblem(std::string_view nameUtf8);

// A slot number from 0 to 255, nullopt for anything else.
std::optional<std::uint16_t> ParseSlot(std::string_view text);

// Reads one PIN: `literal` when given on the command line, otherwise from the input
// (prompt, standard input or --pin-fd). An empty or missing answer is reported (usage, or
// cancelled on an interrupt) and gives nullopt with `exitCode` set.
std::optional<std::string> ReadPin(CliEnv& env, Reporter& reporter, std::string_view prompt,
                                   const std::optional<std::string>& literal, int& exitCode);

// Reads a new PIN and, at a terminal prompt, its confirmation; checks it with NewPinProblem.
std::optional<std::string> ReadNewPin(CliEnv& env, const CliOptions& options, Reporter& reporter,
                                      const std::optional<std::string>& literal, int& exitCode);

}  // namespace kelvora::cli
