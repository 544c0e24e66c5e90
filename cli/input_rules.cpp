#include "cli/input_rules.h"

#include <charconv>

#include "ctap/fingerprint_record.h"
#include "platform/text.h"

namespace kelvora::cli {

std::string NewPinProblem(std::string_view pinUtf8) {
    const std::size_t length = text::ToUtf16(text::CodePage::Utf8, pinUtf8).size();
    if (length == 0) {
        return "enter a PIN";
    }
    if (length < kMinPinLength) {
        return "the PIN must have at least 4 characters";
    }
    if (length > kMaxPinLength) {
        return "the PIN must have at most 63 characters";
    }
    if (pinUtf8.size() > kMaxPinBytes) {
        return "the PIN must take at most 63 bytes in UTF-8; use fewer non-ASCII characters";
    }
    return {};
}

std::string NameProblem(std::string_view nameUtf8) {
    const std::size_t length = text::ToUtf16(text::CodePage::Utf8, nameUtf8).size();
    if (length == 0) {
        return "enter a fingerprint name";
    }
    if (length < kMinNameLength) {
        return "a fingerprint name must have at least 2 characters";
    }
    if (length > kMaxNameLength) {
        return "a fingerprint name must have at most 8 characters";
    }
    return {};
}

std::optional<std::uint16_t> ParseSlot(std::string_view text) {
    unsigned value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || !SlotFitsMap(value)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::string> ReadPin(CliEnv& env, Reporter& reporter, std::string_view prompt,
                                   const std::optional<std::string>& literal, int& exitCode) {
    if (literal) {
        if (literal->empty()) {
            exitCode = reporter.Fail(kExitUsage, "enter a PIN");
            return std::nullopt;
        }
        return literal;
    }
    std::optional<std::string> pin = env.input.ReadLine(prompt, true);
    if (env.interrupted) {
        exitCode = reporter.Fail(kExitCancelled, "cancelled");
        return std::nullopt;
    }
    if (!pin || pin->empty()) {
        exitCode = reporter.Fail(kExitUsage, "enter a PIN");
        return std::nullopt;
    }
    return pin;
}

std::optional<std::string> ReadNewPin(CliEnv& env, const CliOptions& options, Reporter& reporter,
                                      const std::optional<std::string>& literal, int& exitCode) {
    std::optional<std::string> pin = ReadPin(env, reporter, "New PIN: ", literal, exitCode);
    if (!pin) {
        return std::nullopt;
    }
    if (const std::string problem = NewPinProblem(*pin); !problem.empty()) {
        exitCode = reporter.Fail(kExitUsage, problem);
        return std::nullopt;
    }
    if (!literal && options.pinSource == PinSource::kPrompt) {
        const std::optional<std::string> again =
            ReadPin(env, reporter, "Repeat the new PIN: ", std::nullopt, exitCode);
        if (!again) {
            return std::nullopt;
        }
        if (*again != *pin) {
            exitCode = reporter.Fail(kExitUsage, "the PINs do not match");
            return std::nullopt;
        }
    }
    return pin;
}

}  // namespace kelvora::cli
