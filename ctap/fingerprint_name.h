// Friendly names of enrolled fingerprints. A stored name is a hidden prefix followed by the
// name the user sees: the 14-digit UTC time stamp of the enrollment ("YYYYMMDDhhmmss"), or
// eleven hyphens for a name given to a fingerprint that had no stamp. Names are bytes of
// the ANSI code page (code page 932 on the systems the tool is written for).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvora {

inline constexpr std::size_t kTimeStampLength = 14;
inline constexpr std::string_view kNoStampPrefix = "-----------";  // eleven hyphens
// Names that begin so are shown whole (names given by other tools).
inline constexpr std::string_view kPlainNameMarker = "Fingerprint";
// 指紋 ("fingerprint") in code page 932.
inline constexpr std::string_view kFingerprintWordCp932 = "\x8E\x77\x96\xE4";

// The wall clock the enrollment stamps its names with; injectable for tests.
using WallClock = std::function<std::chrono::system_clock::time_point()>;
WallClock SystemWallClock();

// "%04d%02d%02d%02d%02d%02d" of the time broken down in UTC.
std::string EnrollmentTimeStamp(std::chrono::system_clock::time_point when);

// The name an enrollment gives: time stamp, 指紋, slot number in decimal.
std::string DefaultFingerprintName(std::chrono::system_clock::time_point when, std::uint32_t slot);

// A stored name split for renaming: `prefix` is what a new name must start with (the old
// stamp, the eleven hyphens, or eleven hyphens for a name shown whole) and `visible` what
// the user sees and edits. Counts bytes.
struct StoredNameParts {
    std::string_view prefix;
    std::string_view visible;
};
StoredNameParts SplitStoredName(std::string_view name);

// The stored name for `visible` as the new name of a fingerprint now called `oldName`.
std::string RenamedFingerprintName(std::string_view oldName, std::string_view visible);

// The same three tests on a name already converted to UTF-16, counting characters, as the
// fingerprint list makes them: `stamp` is the first 14 characters when the name carries a
// time stamp, empty otherwise.
struct DisplayNameParts {
    std::u16string_view visible;
    std::u16string_view stamp;
};
DisplayNameParts SplitDisplayName(std::u16string_view name);

}  // namespace kelvora
