// When the clock's tick must next run. The tick does its work in whole wall-clock seconds, and
// on most seconds it would have nothing to do: no chime falls due, no button is held, nothing
// has changed on the desktop, the minute is the same. So the clock sleeps until the first
// second at which one of the tick's steps can act. Chimes fall on hh:00:00 and hh:30:00, which
// are minute boundaries of local time, so the next new minute covers them. What counts as news
// from the desktop, and how the platform wakes the clock for it, is left to the callers.
#pragma once

#include "core/local_time.h"

#include <cstdint>

namespace reloj {

// What may give a tick work before the minute turns.
struct TickNeeds {
    // A button is held on the hands, or the hold count is not yet back to zero: the count
    // goes up or back down one tick a second.
    bool holding = false;
    // The desktop under the corners may have changed, or the clock moved, while the colour is
    // automatic.
    bool lookPending = false;
    // Another window may have covered the clock.
    bool raisePending = false;
};

// The instant, in seconds since the epoch, of the next second whose tick can act: the next
// second when anything in `needs` is set, else the first second of the next local minute.
// `now` is the time the tick that asks was given.
int64_t NextTickSecond(const LocalTime& now, const TickNeeds& needs);

} // namespace reloj
