// The chimes: which sound a time of day calls for (an hour's own sound on the hour, the common
// half-hour sound at half past) and the closing sound, each played from its start. The sounds
// play in the background through the platform; whether they are heard is never checked, so a
// missing file or sound server changes nothing else.
#pragma once

#include "core/local_time.h"
#include "platform/platform.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace reloj {

// How late a tick may come and still play the chime whose second it missed: a stalled machine
// or a small step of the clock forward must not lose an hour's chime. A later tick, or a
// longer step, skips it.
inline constexpr int64_t kLateChimeSeconds = 5;

// A chime a tick is to play: the instant of its hh:00:00 or hh:30:00 and its row.
struct DueChime {
    int64_t epochSecond;
    int row;
};

// The chime of the local hh:00:00 or hh:30:00 that `now` falls on or at most kLateChimeSeconds
// after, if any.
std::optional<DueChime> ChimeDueAt(const LocalTime& now);

// The row of the chime table that a local time of day calls for: 0 for any hh:30:00, 1-24 for
// the hours 0-23 at hh:00:00 (the row's file), nothing for any other second or hour.
std::optional<int> ChimeRow(int32_t hour, int32_t minute, int32_t second);

inline constexpr int kChimeRows = 25;

// The sound file of each row.
const std::array<std::string_view, kChimeRows>& ChimeTable();
inline constexpr std::string_view kClosingSoundFile = "finreloj.wav";

// What each sound is called where the desktop lists what plays: a row's chime after the hour
// it strikes, as a 24-hour clock shows it ("Campanada de la 1", "Campanada de las 13",
// "Campanada de medianoche"), the half hour's "Campanada de la media", the closing sound
// "Despedida". The row is one of the table's, from 0 to kChimeRows - 1.
std::string ChimeTitle(int row);
inline constexpr std::string_view kClosingSoundTitle = "Despedida";

// The clock's 26 sounds, played through the platform.
class Chimes {
  public:
    Chimes(Platform& platform);

    // Plays the chime due at `now`, if it has not played: each hh:00:00 and hh:30:00 plays
    // once, even when the clock is stepped back over it by up to half an hour or the zone
    // changes to show the same instant under another hour. A muted clock lets the chime pass
    // unheard, so that unmuting a few seconds later does not play it late.
    void ChimeCheck(const LocalTime& now, bool audible);
    void PlayClosingSound();

  private:
    Platform& m_platform;
    // The instant of the last chime that was due.
    std::optional<int64_t> m_lastChime;
};

} // namespace reloj
