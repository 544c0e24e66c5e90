// What the tool accepts from the person at the keyboard, the same for the windows and the
// command line: PINs of 4 to 63 characters, fingerprint names of 2 to 8 characters, and at
// most 49 fingerprints on a key.
//
// Characters are counted in UTF-16 units, as the windows count them (a character outside
// the BMP counts twice). A PIN for a CTAP2 key must also fit the 63 bytes of UTF-8 it takes:
// its padded block has 64 bytes and must end in a zero (CTAP 2.1 §6.5.5.5), so 22 kanji,
// 66 bytes, are refused although they are 22 characters. A legacy model hashes the PIN's
// ANSI bytes and has no such block, but the PIN must have an exact ANSI form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "ctap/fingerprint_record.h"

namespace kelvora {

// int, so that the windows compare them with Qt's signed sizes without casts.
inline constexpr int kMinPinLength = 4;
inline constexpr int kMaxPinLength = 63;
inline constexpr std::size_t kMaxPinBytes = 63;
inline constexpr int kMinNameLength = 2;
inline constexpr int kMaxNameLength = 8;
// Fingerprints are enrolled into identifiers 0 to 48.
inline constexpr std::uint16_t kMaxFingerprints = 49;

enum class PinLengthVerdict {
    kAccepted,
    kEmpty,
    kTooShort,
    kTooLong,        // more than 63 characters
    kTooManyBytes,   // 63 characters or fewer, but more than 63 bytes of UTF-8
    kNotInCodePage,  // a legacy model's PIN without an exact ANSI form
};

// `utf16Units` is the PIN's length as the windows count it, `utf8Bytes` the length of the
// UTF-8 form the key receives.
PinLengthVerdict CheckPinLength(std::size_t utf16Units, std::size_t utf8Bytes);
PinLengthVerdict CheckPinLength(std::string_view pinUtf8);

// The rules of the family of the key with `productId`: the byte limit for a CTAP2 key, the
// ANSI form for a legacy model, the length in characters for both.
PinLengthVerdict CheckPinForKey(std::string_view pinUtf8, std::uint16_t productId);

enum class NameLengthVerdict { kAccepted, kEmpty, kTooShort, kTooLong };

NameLengthVerdict CheckNameLength(std::size_t utf16Units);
NameLengthVerdict CheckNameLength(std::string_view nameUtf8);

// How many fingerprints the slot map holds.
std::size_t CountEnrolled(const SlotMap& slotMap);

// The first slot a new fingerprint can go to; nothing when the key is full.
std::optional<std::uint16_t> FirstFreeSlot(const SlotMap& slotMap);

// UTF-16 units of UTF-8 text, counted without a copy (a PIN is never duplicated for it).
// Each byte that does not continue a sequence counts once, a four-byte sequence twice.
std::size_t Utf16Length(std::string_view utf8);

}  // namespace kelvora
