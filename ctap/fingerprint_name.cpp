#include "ctap/fingerprint_name.h"

#include <cstdio>

#include "platform/text.h"

namespace kelvora {
namespace {

// "YYYYMMDDhhmmss" with room for any year the calendar types can hold.
constexpr std::size_t kStampBufferSize = 32;

// Whether the first expected.size() characters of `name`, converted to the ANSI code page,
// are exactly the bytes of `expected`.
bool BeginsWithInAnsi(std::u16string_view name, std::string_view expected) {
    const std::u16string_view head = name.substr(0, expected.size());
    const std::optional<std::string> ansi = text::FromUtf16(text::CodePage::Ansi, head);
    return ansi && *ansi == expected;
}

}  // namespace

WallClock SystemWallClock() {
    return [] { return std::chrono::system_clock::now(); };
}

std::string EnrollmentTimeStamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(when);
    const auto day = floor<days>(seconds);
    const year_month_day date{day};
    const hh_mm_ss time{seconds - day};
    char stamp[kStampBufferSize] = {};
    const int written = std::snprintf(
        stamp, sizeof stamp, "%04d%02u%02u%02d%02d%02d", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()));
    return written > 0 ? std::string(stamp) : std::string();
}

std::string DefaultFingerprintName(std::chrono::system_clock::time_point when, std::uint32_t slot) {
    std::string name = EnrollmentTimeStamp(when);
    name += kFingerprintWordCp932;
    name += std::to_string(slot);
    return name;
}

StoredNameParts SplitStoredName(std::string_view name) {
    if (name.starts_with(kNoStampPrefix)) {
        return {name.substr(0, kNoStampPrefix.size()), name.substr(kNoStampPrefix.size())};
    }
    if (name.size() < kTimeStampLength || name.starts_with(kPlainNameMarker)) {
        return {kNoStampPrefix, name};
    }
    return {name.substr(0, kTimeStampLength), name.substr(kTimeStampLength)};
}

std::string RenamedFingerprintName(std::string_view oldName, std::string_view visible) {
    std::string name(SplitStoredName(oldName).prefix);
    name += visible;
    return name;
}

DisplayNameParts SplitDisplayName(std::u16string_view name) {
    if (BeginsWithInAnsi(name, kNoStampPrefix)) {
        return {name.substr(kNoStampPrefix.size()), {}};
    }
    if (name.size() < kTimeStampLength || BeginsWithInAnsi(name, kPlainNameMarker)) {
        return {name, {}};
    }
    return {name.substr(kTimeStampLength), name.substr(0, kTimeStampLength)};
}

}  // namespace kelvora
