// The arithmetic of the dial: where the twelve hour dots sit and which pixels bound each, and
// where the four corners of a clock window fall on the screen. Plain functions of the window's
// size and position in twips and of the scale to the screen's own pixels, in which every
// result is given; building and applying regions is the marker window's job.
#pragma once

#include "core/region.h"
#include "core/twips.h"

#include <array>
#include <cstdint>

namespace reloj {

inline constexpr int kHourDots = 12;
inline constexpr int kDegreesPerHour = 30;

// The centre of hour dot k (k = 0 at 3 o'clock, k = 3 at 6 o'clock, going clockwise on the
// screen), in device pixels from the window's top-left corner. The centres lie one layout pixel
// right of and below the exact ring, as the dial has always been drawn.
PixelPoint DotCentre(int k, float radiusTwips, float windowWidthTwips, const PixelScale& pixels);

// The device-pixel square a dot of the given radius in layout pixels is inscribed in: as wide
// as the dot's scaled diameter, so that every dot is the same round disc wherever it sits.
PixelRect DotBounds(PixelPoint centre, int32_t dotRadius, double scale);

// The four corners of a window in screen pixels: top left, top right, bottom left, bottom
// right. The right and bottom edges are the first column and row outside the window.
std::array<PixelPoint, 4> WindowCorners(float left, float top, float width, float height,
                                        const PixelScale& pixels);

} // namespace reloj
