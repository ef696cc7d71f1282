// The local date and time of day as the wall clock gives it, with the instant it names. Only
// the platform reads the clock; everything else receives a LocalTime as an argument, so that
// tests can pass any moment in.
#pragma once

#include <cstdint>

namespace reloj {

// The seconds of a wall-clock minute; a leap second (second 60) is left to the code that meets it.
inline constexpr int64_t kSecondsPerMinute = 60;

struct LocalTime {
    int32_t year = 0, month = 0, day = 0; // month 1-12, day 1-31
    int32_t hour = 0, minute = 0, second = 0;
    // The same instant in seconds since 1970-01-01 00:00 UTC, which tells a step of the clock
    // from a change of zone or of summer time: only a step moves it.
    int64_t epochSecond = 0;
};

} // namespace reloj
