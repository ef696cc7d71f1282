// The automatic colour: when no colour was chosen, the clock turns black on a bright desktop
// and white on a dark one, judged from the screen pixels at the four corners of its square,
// and repaints only when that choice changes. Where the desktop's pixels cannot be read, its
// stated light or dark preference decides instead. Reading either is the platform's business.
#pragma once

#include "platform/platform.h"
#include "settings/clock_state.h"

#include <optional>

namespace reloj {

// A mean corner brightness above this counts as a bright desktop.
inline constexpr int16_t kBrightThreshold = 130;

// The mean of the three colour bytes, with the fraction dropped; -1 (an unreadable pixel)
// counts as 85 because the divisions truncate toward zero.
int16_t PixelBrightness(Colour colour);

// Black for a bright background, white for a dark one, from the four corner brightnesses.
Colour ChooseAutoColour(int16_t b1, int16_t b2, int16_t b3, int16_t b4);

// The contrast colour of the centre circle: white on a black clock, black on any other.
Colour ContrastColour(Colour clockColour);

// The clock colour for a desktop that states its look instead of showing its pixels: black on
// a light desktop, white on a dark one or where nothing is stated, as unreadable corners give.
Colour SchemeColour(ColourScheme scheme);

// Samples the four corners (or the stated look) and returns the colour the clock is to take
// when the choice differs from the last one applied, which it then records; nothing when the
// clock keeps its colour. Painting the windows is the caller's.
std::optional<Colour> ChangedDesktopColour(ClockState& state, Platform& platform);

} // namespace reloj
