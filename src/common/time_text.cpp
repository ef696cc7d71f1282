#include "common/time_text.h"

#include "common/numeric.h"

#include <cstdio>

namespace reloj {

namespace {

std::string TwoDigits(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", static_cast<int>(value));
    return text;
}

int32_t NumberAt(const std::string& text, std::size_t position, std::size_t length) {
    if (position >= text.size()) {
        return 0;
    }
    return RoundToInt32(LeadingNumber(std::string_view(text).substr(position, length)).value).value;
}

} // namespace

std::string HoursMinutesText(const LocalTime& time) {
    return TwoDigits(time.hour) + ":" + TwoDigits(time.minute);
}

std::string TimeText(const LocalTime& time) {
    return HoursMinutesText(time) + ":" + TwoDigits(time.second);
}

HourMinute ReadHoursMinutes(const std::string& text) {
    constexpr std::size_t kHourAt = 0, kMinuteAt = 3, kDigits = 2;
    return {NumberAt(text, kHourAt, kDigits), NumberAt(text, kMinuteAt, kDigits)};
}

} // namespace reloj
