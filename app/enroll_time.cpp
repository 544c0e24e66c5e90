#include "app/enroll_time.h"

#include <QDateTime>
#include <cstdint>
#include <cstdio>

namespace kelvora {
namespace {

constexpr std::size_t kStampLength = 14;
constexpr std::int64_t kSecondsPerDay = 86400;
// The last second the 64-bit calendar conversion of the Windows runtime accepts
// (3000-12-31 23:59:59 UTC); later stamps show no time on either platform.
constexpr std::int64_t kLastConvertibleSecond = 32535215999;
constexpr int kDisplayBufferSize = 20;

// Like atoi on the field alone: optional blanks and sign, then digits up to the first
// non-digit.
int ReadField(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    int value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        value = value * 10 + (field[i] - '0');
    }
    return negative ? -value : value;
}

// Days from 1970-01-01 to the given proleptic Gregorian date (month 1-12).
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Seconds since the epoch of a UTC calendar time whose fields may be out of range; they
// carry over into the next larger field, as the C library's conversions do.
std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::int64_t y = year;
    std::int64_t m = static_cast<std::int64_t>(month) - 1;  // 0-based for the carry
    y += m >= 0 ? m / 12 : (m - 11) / 12;
    m -= (m >= 0 ? m / 12 : (m - 11) / 12) * 12;
    const std::int64_t days = DaysFromCivil(y, m + 1, 1) + (static_cast<std::int64_t>(day) - 1);
    return days * kSecondsPerDay + static_cast<std::int64_t>(hour) * 3600 +
           static_cast<std::int64_t>(minute) * 60 + second;
}

}  // namespace

QTimeZone SystemDisplayTimeZone() {
    return QTimeZone::systemTimeZone();
}

// The stamp is UTC, so it is converted as UTC and then shown in the zone: that is right
// for every zone, including those with daylight saving time or offsets of part of an hour.
QString FormatEnrollTime(std::string_view stamp, const QTimeZone& zone) {
    if (stamp.size() < kStampLength) {
        return {};
    }
    const std::int64_t seconds =
        UtcSeconds(ReadField(stamp.substr(0, 4)), ReadField(stamp.substr(4, 2)),
                   ReadField(stamp.substr(6, 2)), ReadField(stamp.substr(8, 2)),
                   ReadField(stamp.substr(10, 2)), ReadField(stamp.substr(12, 2)));
    if (seconds < 0 || seconds > kLastConvertibleSecond) {
        return {};
    }
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds, zone);
    if (!local.isValid()) {
        return {};
    }
    const QDate date = local.date();
    const QTime time = local.time();
    char text[kDisplayBufferSize] = {};
    (void)std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", date.year(),
                        date.month(), date.day(), time.hour(), time.minute(), time.second());
    return QString::fromLatin1(text);
}

int UtcOffsetHours(const QTimeZone& zone) {
    const int hour = QDateTime::fromSecsSinceEpoch(0, zone).time().hour();
    return hour > 12 ? hour - 24 : hour;
}

}  // namespace kelvora
