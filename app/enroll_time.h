// The enrolment time shown beside a fingerprint's name. Enrolment writes the time in UTC
// as a 14-digit stamp at the start of the stored name; the list shows it in the local time
// of the machine that displays it.
#pragma once

#include <QString>
#include <QTimeZone>
#include <string_view>

namespace kelvora {

// The time zone the list shows times in; tests pass a fixed one.
QTimeZone SystemDisplayTimeZone();

// "YYYY/MM/DD hh:mm:ss" in `zone` for a stamp "YYYYMMDDhhmmss" (at least 14 characters;
// each field is read as a decimal number the way atoi reads it, so a field that does not
// start with a digit reads as 0, and out-of-range fields carry over as a calendar does).
// Empty when the stamp is shorter, or names a time before 1970 or after the year 3000.
QString FormatEnrollTime(std::string_view stamp, const QTimeZone& zone);

// The zone's offset from UTC in whole hours at the epoch, between -11 and +12.
int UtcOffsetHours(const QTimeZone& zone);

}  // namespace kelvora
