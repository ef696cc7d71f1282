// What the end-to-end tests of the hands read off a running clock: the pixels two hands cover,
// the hands' shape once it is cut, where to press and where to read the colour, the pixels of
// the shape that do not show the clock's colour, and how two pixel sets differ. The X server's
// view itself is x_harness.h's, and starting the clock running_clock.h's.
#pragma once

#include "running_clock.h"

#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace reloj::e2e {

inline constexpr unsigned long kBlack = 0x000000;
inline constexpr unsigned long kWhite = 0xFFFFFF;
inline constexpr unsigned long kRed = 0xFF0000;

using Point = std::pair<int, int>;
using Quad = std::array<Point, 4>;

std::string Hex(unsigned long rgb);

// The pixels of the two hands as Qt's winding-rule polygon regions cover them.
PixelSet HandsPixels(const Quad& minute, const Quad& hour);

PixelSet WholeWindow(const Rect& place);

// How a shown pixel set differs from the expected one, a few pixels of each side.
std::string Difference(const PixelSet& shown, const PixelSet& expected);

// One clock alone on its own X server at 96 dpi, its clock starting at a time of day.
ClockOptions Alone(const std::vector<std::string>& commandLine, const std::string& time,
                   std::optional<unsigned long> desktop = std::nullopt);

// The hands' shape once the window has been cut: until then the X server reports the whole
// window as its shape.
PixelSet CutHandsShape(const RunningClock& clock);

// In screen coordinates, where the hands meet: the place to press on.
Point Grip(const RunningClock& clock);

// Whether the dots and the hands both show a colour within the timeout.
testing::AssertionResult ShowsColour(const RunningClock& clock, unsigned long rgb,
                                     std::chrono::milliseconds timeout);

void Click(const XServer& server, unsigned button);

// The pixels inside the hands' shape, in screen coordinates, that do not show `colour`,
// leaving out the circle drawn where the hands meet (`hub` pixels around the centre).
std::vector<Point> Unpainted(const RunningClock& clock, unsigned long colour, int hub);

// The first few of the points, with the colours the screen shows there, for a failure message.
std::string Listed(const std::vector<Point>& points, unsigned long colour,
                   const ScreenArea& screen);

// The pixels of a window's shape that lie inside the window, which are all that can be seen.
PixelSet Visible(const std::vector<Rect>& shape, const Rect& place);

struct PaintRow {
    const char* name;
    std::vector<std::string> commandLine;
    std::optional<unsigned long> desktop;
    unsigned long colour;
    // How far from the centre the circle where the hands meet may reach, in pixels.
    int hub;
};

} // namespace reloj::e2e
