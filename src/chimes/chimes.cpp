#include "chimes/chimes.h"

namespace reloj {

namespace {

constexpr int kHalfHourRow = 0;
constexpr int32_t kHalfHourMinute = 30;
constexpr int32_t kMinutesPerChime = 30;
constexpr int64_t kSecondsPerChime = kMinutesPerChime * kSecondsPerMinute;

// Rows 1-24 in table order: the morning hours 1-11, midnight, the afternoon hours 13-23, noon.
constexpr std::array<std::string_view, kChimeRows> kTable{
    "media.wav", "1am.wav",  "2am.wav",  "3am.wav",  "4am.wav",  "5am.wav",  "6am.wav",
    "7am.wav",   "8am.wav",  "9am.wav",  "10am.wav", "11am.wav", "24am.wav", "13pm.wav",
    "14pm.wav",  "15pm.wav", "16pm.wav", "17pm.wav", "18pm.wav", "19pm.wav", "20pm.wav",
    "21pm.wav",  "22pm.wav", "23pm.wav", "12pm.wav",
};

constexpr int kMidnight = 0;
constexpr std::string_view kHalfHourTitle = "Campanada de la media";
constexpr std::string_view kMidnightTitle = "Campanada de medianoche";
constexpr std::string_view kOneOClockTitle = "Campanada de la ";
constexpr std::string_view kHourTitle = "Campanada de las ";

// The hour each of rows 1-24 plays at.
constexpr std::array<int, kChimeRows> kRowHour{-1, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 0,
                                               13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 12};

} // namespace

std::optional<int> ChimeRow(int32_t hour, int32_t minute, int32_t second) {
    if (second != 0) {
        return std::nullopt;
    }
    if (minute == kHalfHourMinute) {
        return kHalfHourRow;
    }
    if (minute != 0) {
        return std::nullopt;
    }
    for (int row = 1; row < kChimeRows; ++row) {
        if (hour == kRowHour[static_cast<std::size_t>(row)]) {
            return row;
        }
    }
    return std::nullopt;
}

std::optional<DueChime> ChimeDueAt(const LocalTime& now) {
    const int64_t sinceChime = (now.minute % kMinutesPerChime) * kSecondsPerMinute + now.second;
    if (sinceChime < 0 || sinceChime > kLateChimeSeconds) {
        return std::nullopt;
    }
    // The chime's own second, in the same hour.
    const auto row = ChimeRow(now.hour, now.minute - now.minute % kMinutesPerChime, 0);
    if (!row) {
        return std::nullopt;
    }
    return DueChime{now.epochSecond - sinceChime, *row};
}

const std::array<std::string_view, kChimeRows>& ChimeTable() {
    return kTable;
}

std::string ChimeTitle(int row) {
    if (row == kHalfHourRow) {
        return std::string(kHalfHourTitle);
    }
    const int hour = kRowHour[static_cast<std::size_t>(row)];
    if (hour == kMidnight) {
        return std::string(kMidnightTitle);
    }
    // Spanish counts one o'clock in the singular: "la una", "las dos".
    return std::string(hour == 1 ? kOneOClockTitle : kHourTitle) + std::to_string(hour);
}

Chimes::Chimes(Platform& platform) : m_platform(platform) {}

void Chimes::ChimeCheck(const LocalTime& now, bool audible) {
    const auto due = ChimeDueAt(now);
    if (!due) {
        return;
    }
    // The same instant again, or the one half an hour before it, which had its turn too: the
    // clock was stepped back over a chime, or the zone changed under it.
    if (m_lastChime && due->epochSecond <= *m_lastChime &&
        *m_lastChime - due->epochSecond <= kSecondsPerChime) {
        return;
    }
    m_lastChime = due->epochSecond;
    if (!audible) {
        return;
    }
    m_platform.PlaySound(m_platform.SoundDirectory() +
                             std::string(kTable[static_cast<std::size_t>(due->row)]),
                         ChimeTitle(due->row));
}

void Chimes::PlayClosingSound() {
    m_platform.PlaySound(m_platform.SoundDirectory() + std::string(kClosingSoundFile),
                         std::string(kClosingSoundTitle));
}

} // namespace reloj
