// The arithmetic of the hands: their angles for a time of day and the four vertices of each
// hand in either style, in device pixels from the hands window's top-left corner. Angles are
// degrees counter-clockwise from 3 o'clock, held in single precision after every step exactly as
// the clock has always computed them. Lengths are layout pixels, multiplied by the scale before
// the one rounding, so that a scaled hand is as smooth as any other; turning vertices into a
// window shape is the window's job.
#pragma once

#include "core/region.h"
#include "platform/platform.h"
#include "settings/clock_state.h"

#include <optional>

namespace reloj {

inline constexpr int32_t kKiteStyle = 1;
inline constexpr int32_t kBarStyle = 2;

float MinuteAngle(int32_t minute);
// Not reduced modulo 12: hours 12-23 give the angles of 0-11 one full turn further, which is
// not always the same pixel after rounding.
float HourAngle(int32_t hour, int32_t minute);

// The centre of the hands window in device pixels.
PixelPoint HandsCentre(const ClockLayout& layout);

// Style 1: tip at `reach`, sides at the tail length, tail at one and a half tail lengths.
Quad KiteHand(float angle, float reach, float tailLength, PixelPoint centre, double scale);
// Style 2: a bar `width` wide from a fifth of the reach behind the centre to the tip.
Quad BarHand(float angle, float reach, float width, PixelPoint centre, double scale);

// The centre circle's radius in twips: the ring radius rounded, a fiftieth, remainder dropped.
int32_t HubRadius(const ClockLayout& layout);
// The centre circle in the hands window's device pixels, painted in `colour` over the hands.
Disc HubDisc(const ClockLayout& layout, Colour colour);

// The two hands of a time of day in the clock's style; nothing for a style that has no hands.
struct HandShapes {
    Quad minute;
    Quad hour;
};
std::optional<HandShapes> HandsFor(const ClockLayout& layout, int32_t hour, int32_t minute);

} // namespace reloj
