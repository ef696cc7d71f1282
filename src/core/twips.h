// Twips are the clock's own unit of length: 1440 to the inch, so that a clock keeps its size in
// inches on screens of any density (15 twips a pixel at 96 dots per inch, 12 at 120). Every
// position and size the windows keep is in twips; this unit turns them into whole screen pixels
// the one way the clock has always done it, which the exact pixels of the dial depend on.
#pragma once

#include <cstdint>

namespace reloj {

// A point in twips from a window's top-left corner.
struct TwipsPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TwipsPoint&, const TwipsPoint&) = default;
};

// A window edge in twips as a screen pixel: the twips rounded half to even, then divided by
// the twips per pixel with the remainder dropped.
int32_t TwipsToPixel(double twips, int32_t twipsPerPixel);

} // namespace reloj
