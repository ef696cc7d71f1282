#include "chimes/chimes.h"

#include "common/numeric.h"

namespace reloj {

namespace {

constexpr std::string_view kHalfHour = "30:00";
constexpr std::string_view kFullHour = "00:00";
constexpr std::size_t kTailLength = 5;
constexpr std::size_t kHourDigits = 2;
constexpr int kHalfHourRow = 0;

// Rows 1-24 in table order: the morning hours 1-11, midnight, the afternoon hours 13-23, noon.
constexpr std::array<ChimeEntry, kChimeRows> kTable{{
    {"tilin", "media.wav"}, {"am1", "1am.wav"},  {"am2", "2am.wav"},   {"am3", "3am.wav"},
    {"am4", "4am.wav"},     {"am5", "5am.wav"},  {"am6", "6am.wav"},   {"am7", "7am.wav"},
    {"am8", "8am.wav"},     {"am9", "9am.wav"},  {"am10", "10am.wav"}, {"am11", "11am.wav"},
    {"am12", "24am.wav"},   {"pm1", "13pm.wav"}, {"pm2", "14pm.wav"},  {"pm3", "15pm.wav"},
    {"pm4", "16pm.wav"},    {"pm5", "17pm.wav"}, {"pm6", "18pm.wav"},  {"pm7", "19pm.wav"},
    {"pm8", "20pm.wav"},    {"pm9", "21pm.wav"}, {"pm10", "22pm.wav"}, {"pm11", "23pm.wav"},
    {"pm12", "12pm.wav"},
}};

// The hour each of rows 1-24 plays at.
constexpr std::array<int, kChimeRows> kRowHour{-1, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 0,
                                               13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 12};

} // namespace

MediaControl::MediaControl(std::string name, std::string fileName)
    : m_name(std::move(name)), m_fileName(std::move(fileName)) {}

void MediaControl::Command(std::string_view command, Platform& platform) {
    if (command == "Prev") {
        if (m_player) {
            m_player->Rewind();
        }
    } else if (command == "Open") {
        if (!m_player) {
            m_player = platform.CreateSoundPlayer();
        }
        if (!m_player->IsOpen()) {
            m_player->Open(m_fileName);
        }
    } else if (command == "Play") {
        if (m_player) {
            m_player->Play();
        }
    }
}

void PlaySequence(MediaControl& control, Platform& platform) {
    control.Command("Prev", platform);
    control.SetDeviceType("WaveAudio");
    control.Command("Open", platform);
    control.Command("Play", platform);
}

std::optional<int> ChimeRow(std::string_view timeText) {
    const std::string_view tail =
        timeText.size() >= kTailLength ? timeText.substr(timeText.size() - kTailLength) : timeText;
    if (tail == kHalfHour) {
        return kHalfHourRow;
    }
    if (tail != kFullHour) {
        return std::nullopt;
    }
    const double hour = LeadingNumber(timeText.substr(0, kHourDigits)).value;
    for (int row = 1; row < kChimeRows; ++row) {
        if (hour == kRowHour[static_cast<std::size_t>(row)]) {
            return row;
        }
    }
    return std::nullopt;
}

const std::array<ChimeEntry, kChimeRows>& ChimeTable() {
    return kTable;
}

Chimes::Chimes(Platform& platform) : m_platform(platform) {}

void Chimes::ChimeCheck(std::string_view timeText) {
    const auto row = ChimeRow(timeText);
    if (!row) {
        return;
    }
    auto& control = m_controls[static_cast<std::size_t>(*row)];
    if (!control) {
        const ChimeEntry& entry = kTable[static_cast<std::size_t>(*row)];
        control.emplace(std::string(entry.control),
                        m_platform.SoundDirectory() + std::string(entry.file));
    }
    PlaySequence(*control, m_platform);
}

void Chimes::PlayClosingSound() {
    if (!m_acabado) {
        m_acabado.emplace(std::string(kClosingSound.control),
                          m_platform.SoundDirectory() + std::string(kClosingSound.file));
    }
    PlaySequence(*m_acabado, m_platform);
}

} // namespace reloj
