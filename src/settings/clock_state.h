// ClockLayout is what start-up derives once from the screen and the command line: the geometry
// of the dial and hands, where the clock first stands, whether it moves and the colour asked
// for. It never changes while the clock runs. ClockState is the little that does change: the
// clock colour (the right button steps it), the last colour the automatic colour chose and the
// corners it reads. Both are plain data; who writes a ClockState field, and when, is the
// business of the unit that owns that step.
#pragma once

#include "core/colour.h"
#include "core/region.h"
#include "core/twips.h"

#include <array>
#include <cstdint>

namespace reloj {

struct ClockLayout {
    float tailLength = 0;    // pixels
    float handWidth = 0;     // pixels
    float halfHandWidth = 0; // pixels
    float radius = 0;        // twips: centre of the clock to the centre of each hour dot
    float hourReach = 0;     // pixels
    float handReach = 0;     // pixels
    int32_t twipsPerPixelX = 0;
    int32_t twipsPerPixelY = 0;
    // Device pixels per pixel of the layout: 1 up to 120 dpi; on a denser screen the layout is
    // a 96 dpi one and this is the desktop's scale factor.
    double scale = 1.0;
    int32_t dotRadius = 0;    // pixels
    int32_t windowSize = 0;   // twips: width and height of both clock windows
    int32_t startLeft = 0;    // twips; 0 keeps the marker window's own initial left
    int32_t startTop = 0;     // twips; 0 keeps the marker window's own initial top
    int32_t centreOffset = 0; // twips: the centre's distance from either window's left and top
    bool movable = false;
    int32_t handStyle = 0;
    Colour colour = 0; // as asked for; kAutomaticColour for the automatic colour
};

struct ClockState {
    Colour clockColour = 0;
    Colour lastAutoColour = kNoColour;
    // Screen pixels: top left, top right, bottom left, bottom right; the right and bottom ones
    // lie just outside the window.
    std::array<PixelPoint, 4> corners{};
};

// The conversion between the layout's twips and the screen's pixels.
inline PixelScale Pixels(const ClockLayout& layout) {
    return {layout.twipsPerPixelX, layout.twipsPerPixelY, layout.scale};
}

} // namespace reloj
