#include "core/time_text.h"

#include "core/numeric.h"

#include <string>

namespace reloj {

namespace {

// At least two digits, zero-padded, as "%02d" writes them; a clock's fields take the short path
// every second without going through the formatting machinery.
std::string TwoDigits(int32_t value) {
    constexpr int32_t kTen = 10;
    if (value >= 0 && value < kTen * kTen) {
        return {static_cast<char>('0' + value / kTen), static_cast<char>('0' + value % kTen)};
    }
    return std::to_string(value);
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
