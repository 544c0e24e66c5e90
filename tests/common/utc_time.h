// Broken-down UTC time for tests that stand in for the local time zone.
#pragma once

#include <ctime>

namespace kelvora::test {

inline std::tm UtcTime(std::time_t when) {
    std::tm broken{};
#ifdef _WIN32
    gmtime_s(&broken, &when);
#else
    gmtime_r(&when, &broken);
#endif
    return broken;
}

}  // namespace kelvora::test
