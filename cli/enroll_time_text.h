// The enrolment time of a fingerprint as the user reads it: the UTC stamp at the start of its
// stored name, shown in local time.
#pragma once

#include <string>
#include <string_view>

#include "cli/cli_env.h"

namespace kelvora::cli {

// "YYYY-MM-DD hh:mm:ss" in local time for a stored name that starts with a 14-digit UTC
// stamp; empty when it does not (a name given by another tool, or one without a stamp),
// or when the stamp is no valid date between 1970 and 3000.
std::string EnrollTimeText(std::string_view storedName, const LocalTimeFunction& localTime);

}  // namespace kelvora::cli
