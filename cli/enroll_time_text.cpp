#include "cli/enroll_time_text.h"

#include <chrono>
#include <cstdio>

#include "ctap/fingerprint_name.h"

namespace kelvora::cli {

namespace {

constexpr int kFirstYear = 1970;
constexpr int kLastYear = 3000;

bool ReadField(std::string_view digits, int& value) {
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

std::string EnrollTimeText(std::string_view storedName, const LocalTimeFunction& localTime) {
    const StoredNameParts parts = SplitStoredName(storedName);
    if (parts.prefix.size() != kTimeStampLength) {
        return {};
    }
    const std::string_view stamp = parts.prefix;
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!ReadField(stamp.substr(0, 4), year) || !ReadField(stamp.substr(4, 2), month) ||
        !ReadField(stamp.substr(6, 2), day) || !ReadField(stamp.substr(8, 2), hour) ||
        !ReadField(stamp.substr(10, 2), minute) || !ReadField(stamp.substr(12, 2), second)) {
        return {};
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || year < kFirstYear || year > kLastYear || hour > 23 || minute > 59 ||
        second > 59) {
        return {};
    }
    const auto when = std::chrono::sys_days(date) + std::chrono::hours(hour) +
                      std::chrono::minutes(minute) + std::chrono::seconds(second);
    const std::time_t utc = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(when));
    const std::tm local = localTime(utc);
    // Room for any int fields, so the formatting can never be cut short.
    char text[80];
    // The buffer holds any output, so the count needs no check.
    static_cast<void>(std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d",
                                    local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                    local.tm_hour, local.tm_min, local.tm_sec));
    return text;
}

}  // namespace kelvora::cli
