// Where a clock that the screens no longer show goes back to: when the screens change (a
// monitor unplugged, a smaller resolution) and the clock's square lies wholly outside every
// screen, it is moved into the nearest one, as little as it takes to lie wholly inside it. A
// clock that any screen shows even in part stays where the user put it. Watching the screens
// and moving the windows are the windows' business; this unit only does the arithmetic.
#pragma once

#include "core/region.h"

#include <optional>
#include <vector>

namespace reloj {

// The new top-left corner of the clock's `window`, in screen pixels, or nothing when it may
// stay: some screen shows part of the window, or there is no screen at all. Where it moves,
// `reach` (the window and whatever must come along onto the screen with it, such as points
// read beside it) ends up wholly inside the nearest screen; a reach larger than that screen
// keeps its top-left corner on it.
std::optional<PixelPoint> PlaceOnNearestScreen(const PixelRect& window, const PixelRect& reach,
                                               const std::vector<PixelRect>& screens);

} // namespace reloj
