// The chimes: which sound a time of day calls for (an hour's own sound on the hour, the common
// half-hour sound at half past), the four-step play sequence of a media control, and the
// closing sound. The sounds play in the background through the platform's players; whether
// they are heard is never checked, so a missing file or sound server changes nothing else.
#pragma once

#include "platform/platform.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace reloj {

// A media control: a wave file and the player it opens on its first play.
class MediaControl {
  public:
    MediaControl(std::string name, std::string fileName);

    // One command of the control, as the play sequence writes them: "Prev" rewinds, "Open"
    // opens the device on the file unless it is already open, "Play" starts playback.
    void Command(std::string_view command, Platform& platform);
    void SetDeviceType(std::string_view type) { m_deviceType = type; }

    const std::string& Name() const { return m_name; }
    const std::string& FileName() const { return m_fileName; }

  private:
    std::string m_name;
    std::string m_fileName;
    std::string m_deviceType;
    std::unique_ptr<SoundPlayer> m_player;
};

// Prev, WaveAudio, Open, Play: the sound from its start, reusing an open device.
void PlaySequence(MediaControl& control, Platform& platform);

// The row of the chime table that a time text calls for: 0 for the half hour, 1-24 for the
// hours (the row's control and file), nothing for any other second. T is the long time text;
// the hour is the number read from its first two characters, the rest its last five.
std::optional<int> ChimeRow(std::string_view timeText);

inline constexpr int kChimeRows = 25;

struct ChimeEntry {
    std::string_view control;
    std::string_view file;
};
const std::array<ChimeEntry, kChimeRows>& ChimeTable();
inline constexpr ChimeEntry kClosingSound{"acabado", "finreloj.wav"};

// The 26 media controls of the hands window.
class Chimes {
  public:
    Chimes(Platform& platform);

    // Plays the sound the time text calls for, if any.
    void ChimeCheck(std::string_view timeText);
    void PlayClosingSound();

  private:
    Platform& m_platform;
    std::array<std::optional<MediaControl>, kChimeRows> m_controls;
    std::optional<MediaControl> m_acabado;
};

} // namespace reloj
