#include "display/ring_geometry.h"

#include "common/numeric.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace reloj {

namespace {
constexpr double kHalfTurnDegrees = 180.0;
constexpr int32_t kCentreNudge = 1; // the dots sit one pixel right of and below the ring
} // namespace

int32_t TwipsToPixel(double twips, int32_t twipsPerPixel) {
    const auto rounded = RoundToInt32(twips);
    if (rounded.ok() || twipsPerPixel == 0) {
        return IntDiv(rounded.value, twipsPerPixel);
    }
    // A position stored in single precision can round just past the 32-bit range (2147483640
    // twips is stored as 2^31); the pixel it stands for still fits.
    const double pixels = std::trunc(std::nearbyint(twips) / twipsPerPixel);
    return static_cast<int32_t>(std::clamp(pixels, double{INT32_MIN}, double{INT32_MAX}));
}

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
