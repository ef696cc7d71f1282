// ClockState is the record every part of the clock shares: the geometry derived at start-up,
// the colours, the corners sampled for the automatic colour and the mouse state. It is plain
// data; who writes which field, and when, is the business of the units that own those steps.
#pragma once

#include "core/colour.h"
#include "core/region.h"
#include "core/twips.h"

#include <array>
#include <cstdint>
#include <string>

namespace reloj {

struct ClockState {
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
    int32_t dotRadius = 0;  // pixels
    int32_t windowSize = 0; // twips: width and height of both clock windows
    // Screen pixels: top left, top right, bottom left, bottom right; the right and bottom ones
    // lie just outside the window.
    std::array<PixelPoint, 4> corners{};
    int32_t startLeft = 0;    // twips; 0 keeps the marker window's own initial left
    int32_t startTop = 0;     // twips; 0 keeps the marker window's own initial top
    int32_t centreOffset = 0; // twips
    bool movable = false;
    bool buttonHeld = false; // a mouse button is down on the hands: the hold-to-quit counts
    std::string commandLine;
    int32_t centreX = 0; // twips
    int32_t centreY = 0; // twips
    int32_t handStyle = 0;
    TwipsPoint dragAnchor; // where the left button went down on the hands
    Colour lastAutoColour = 0;
    Colour clockColour = 0;
};

// The conversion between the state's twips and the screen's pixels.
inline PixelScale Pixels(const ClockState& state) {
    return {state.twipsPerPixelX, state.twipsPerPixelY, state.scale};
}

} // namespace reloj
