#include "cli/input_rules.h"

#include <charconv>

#include "ctap/fingerprint_record.h"

namespace kelvora::cli {

std::string PinProblem(std::string_view pinUtf8, std::uint16_t productId) {
    switch (CheckPinForKey(pinUtf8, productId)) {
        case PinLengthVerdict::kAccepted:
            return {};
        case PinLengthVerdict::kEmpty:
            return "enter a PIN";
        case PinLengthVerdict::kTooShort:
            return "the PIN must have at least 4 characters";
        case PinLengthVerdict::kTooLong:
            return "the PIN must have at most 63 characters";
        case PinLengthVerdict::kTooManyBytes:
            return "the PIN must take at most 63 bytes in UTF-8; use fewer non-ASCII characters";
        case PinLengthVerdict::kNotInCodePage:
            return "this key takes only PINs of characters in code page 932 (ASCII, Japanese "
                   "kana and kanji); the PIN has others, or they cannot be converted here";
    }
    return {};
}

std::string NameProblem(std::string_view nameUtf8) {
    switch (CheckNameLength(nameUtf8)) {
        case NameLengthVerdict::kAccepted:
            return {};
        case NameLengthVerdict::kEmpty:
            return "enter a fingerprint name";
        case NameLengthVerdict::kTooShort:
            return "a fingerprint name must have at least 2 characters";
        case NameLengthVerdict::kTooLong:
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

std::optional<std::string> ReadPin(CliEnv& env, Reporter& reporter, std::uint16_t productId,
                                   std::string_view prompt,
                                   const std::optional<std::string>& literal, int& exitCode) {
    std::optional<std::string> pin = literal;
    if (!pin) {
        pin = env.input.ReadLine(prompt, true);
        if (env.interrupted) {
            exitCode = reporter.Fail(kExitCancelled, "cancelled");
            return std::nullopt;
        }
    }
    const std::string problem = PinProblem(pin.value_or(std::string()), productId);
    if (!problem.empty()) {
        if (pin) {
            WipeString(*pin);
        }
        exitCode = reporter.Fail(kExitUsage, problem);
        return std::nullopt;
    }
    return pin;
}

WipedAtExit::~WipedAtExit() {
    if (pin_) {
        WipeString(*pin_);
    }
}

std::optional<std::string> ReadNewPin(CliEnv& env, const CliOptions& options, Reporter& reporter,
                                      std::uint16_t productId,
                                      const std::optional<std::string>& literal, int& exitCode) {
    std::optional<std::string> pin =
        ReadPin(env, reporter, productId, "New PIN: ", literal, exitCode);
    if (!pin) {
        return std::nullopt;
    }
    if (!literal && options.pinSource == PinSource::kPrompt) {
        std::optional<std::string> again =
            ReadPin(env, reporter, productId, "Repeat the new PIN: ", std::nullopt, exitCode);
        const WipedAtExit wipeAgain(again);
        if (!again) {
            WipeString(*pin);
            return std::nullopt;
        }
        if (*again != *pin) {
            WipeString(*pin);
            exitCode = reporter.Fail(kExitUsage, "the PINs do not match");
            return std::nullopt;
        }
    }
    return pin;
}

}  // namespace kelvora::cli
