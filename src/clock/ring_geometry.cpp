#include "clock/ring_geometry.h"

#include "core/numeric.h"
#include "core/twips.h"

#include <cmath>

namespace reloj {

namespace {
constexpr double kHalfTurnDegrees = 180.0;
constexpr int32_t kCentreNudge = 1; // the dots sit one pixel right of and below the ring
} // namespace

PixelPoint DotCentre(int k, float radiusTwips, float windowWidthTwips, int32_t twipsPerPixelX,
                     int32_t twipsPerPixelY) {
    const double angle = (k * kDegreesPerHour) / kHalfTurnDegrees * kSinglePi;
    const int32_t half = IntDiv(RoundToInt32(windowWidthTwips).value, 2);
    const double radius = radiusTwips;
    return {TwipsToPixel(radius * std::cos(angle) + half, twipsPerPixelX) + kCentreNudge,
            TwipsToPixel(radius * std::sin(angle) + half, twipsPerPixelY) + kCentreNudge};
}

PixelRect DotBounds(PixelPoint centre, int32_t dotRadius) {
    return {centre.x - dotRadius, centre.y - dotRadius, centre.x + dotRadius, centre.y + dotRadius};
}

std::array<PixelPoint, 4> WindowCorners(float left, float top, float width, float height,
                                        int32_t twipsPerPixelX, int32_t twipsPerPixelY) {
    // Sums of two properties are formed in double precision before rounding.
    const int32_t leftEdge = TwipsToPixel(left, twipsPerPixelX);
    const int32_t rightEdge =
        TwipsToPixel(static_cast<double>(left) + static_cast<double>(width), twipsPerPixelX);
    const int32_t topEdge = TwipsToPixel(top, twipsPerPixelY);
    const int32_t bottomEdge =
        TwipsToPixel(static_cast<double>(top) + static_cast<double>(height), twipsPerPixelY);
    return {{{leftEdge, topEdge},
             {rightEdge, topEdge},
             {leftEdge, bottomEdge},
             {rightEdge, bottomEdge}}};
}

} // namespace reloj
