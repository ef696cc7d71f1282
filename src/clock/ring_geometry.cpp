#include "clock/ring_geometry.h"

#include "core/numeric.h"
#include "core/twips.h"

#include <cmath>
#include <utility>

namespace reloj {

namespace {
constexpr double kHalfTurnDegrees = 180.0;
constexpr int32_t kCentreNudge = 1; // the dots sit one pixel right of and below the ring
} // namespace

PixelPoint DotCentre(int k, float radiusTwips, float windowWidthTwips, const PixelScale& pixels) {
    const double angle = (k * kDegreesPerHour) / kHalfTurnDegrees * kSinglePi;
    const int32_t half = IntDiv(RoundToInt32(windowWidthTwips).value, 2);
    const double radius = radiusTwips;
    return {pixels.Device(TwipsToPixel(radius * std::cos(angle) + half, pixels.twipsPerPixelX) +
                          kCentreNudge),
            pixels.Device(TwipsToPixel(radius * std::sin(angle) + half, pixels.twipsPerPixelY) +
                          kCentreNudge)};
}

PixelRect DotBounds(PixelPoint centre, int32_t dotRadius, double scale) {
    const int32_t diameter = ScaledPixel(2.0 * dotRadius, scale);
    const int32_t left = centre.x - IntDiv(diameter, 2);
    const int32_t top = centre.y - IntDiv(diameter, 2);
    return {left, top, left + diameter, top + diameter};
}

std::array<PixelPoint, 4> WindowCorners(float left, float top, float width, float height,
                                        const PixelScale& pixels) {
    // Sums of two properties are formed in double precision before rounding, in layout pixels;
    // the span is then scaled as the window's own size is, and never falls short of it, so
    // the right and bottom corners stay outside the window.
    const auto corner = [](float start, float length, int32_t twipsPerPixel, double scale) {
        const int32_t first = TwipsToPixel(start, twipsPerPixel);
        const int32_t last =
            TwipsToPixel(static_cast<double>(start) + static_cast<double>(length), twipsPerPixel);
        const int32_t device = ScaledPixel(first, scale);
        return std::pair{device, device + ScaledPixel(last - first, scale)};
    };
    const auto [leftEdge, rightEdge] = corner(left, width, pixels.twipsPerPixelX, pixels.scale);
    const auto [topEdge, bottomEdge] = corner(top, height, pixels.twipsPerPixelY, pixels.scale);
    return {{{leftEdge, topEdge},
             {rightEdge, topEdge},
             {leftEdge, bottomEdge},
             {rightEdge, bottomEdge}}};
}

} // namespace reloj
