// The clock's time texts: "HH:mm" for the hands and "HH:mm:ss" for the chimes, always with a
// two-digit 24-hour hour whatever the locale, so that every hour and half hour can be matched.
// Reading numbers back out of them is the numeric rules' job.
#pragma once

#include "core/local_time.h"

#include <string>

namespace reloj {

std::string HoursMinutesText(const LocalTime& time);
std::string TimeText(const LocalTime& time);

// The hour and minute as the tick reads them back from one "HH:mm" text: the numbers at
// characters 1-2 and 4-5.
struct HourMinute {
    int32_t hour = 0;
    int32_t minute = 0;
};
HourMinute ReadHoursMinutes(const std::string& text);

} // namespace reloj
