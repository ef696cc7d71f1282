// ClockState is the record every part of the clock shares: the geometry derived at start-up,
// the colours, the window handles, the corners sampled for the automatic colour and the mouse
// flags. It is plain data; who writes which field, and when, is the business of the units
// that own those steps.
#pragma once

#include <cstdint>
#include <string>

namespace reloj {

// A window as the logic names it: an opaque number the platform hands out.
using WindowHandle = std::uintptr_t;

// Colours are 0x00BBGGRR, red in the low byte.
using Colour = int32_t;

inline constexpr Colour kAutomaticColour = 0;  // the clock turns black or white by itself
inline constexpr Colour kNoColour = -1;        // what an unrecognised colour text gives
inline constexpr Colour kDefaultColour = 0xFF; // pure red
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

struct ClockState {
    float TailLength = 0;    // pixels
    float HandWidth = 0;     // pixels
    float HalfHandWidth = 0; // pixels
    float Radius = 0;        // twips: centre of the clock to the centre of each hour dot
    float HourReach = 0;     // pixels
    float HandReach = 0;     // pixels
    int32_t TwipsPerPixelX = 0;
    int32_t TwipsPerPixelY = 0;
    int32_t DotRadius = 0; // pixels
    int32_t FormSize = 0;  // twips: width and height of both clock windows
    int32_t CornerX1 = 0, CornerX2 = 0, CornerX3 = 0, CornerX4 = 0; // screen pixels
    int32_t CornerY1 = 0, CornerY2 = 0, CornerY3 = 0, CornerY4 = 0; // screen pixels
    int32_t StartLeft = 0;    // twips; 0 keeps the marker window's own initial left
    int32_t StartTop = 0;     // twips; 0 keeps the marker window's own initial top
    int32_t CentreOffset = 0; // twips
    bool Movable = false;
    bool ExitHold = false;
    std::string CommandLine;
    int32_t CentreX = 0; // twips
    int32_t CentreY = 0; // twips
    WindowHandle HandsHwnd = 0;
    WindowHandle MarkersHwnd = 0;
    int32_t HandStyle = 0;
    int32_t DragX = 0; // twips
    int32_t DragY = 0; // twips
    Colour LastAutoColour = 0;
    Colour ClockColour = 0;
};

} // namespace reloj
