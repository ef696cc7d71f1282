#include "clock/screen_fit.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace reloj {

namespace {

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The gap between two ranges [aLow, aHigh) and [bLow, bHigh) that do not meet, or 0.
int64_t Gap(int64_t aLow, int64_t aHigh, int64_t bLow, int64_t bHigh) {
    return std::max<int64_t>({0, bLow - aHigh, aLow - bHigh});
}

// The squared distance between two rectangles: 0 when they touch or overlap.
int64_t SquaredDistance(const PixelRect& a, const PixelRect& b) {
    const int64_t dx = Gap(a.left, a.right, b.left, b.right);
    const int64_t dy = Gap(a.top, a.bottom, b.top, b.bottom);
    return dx * dx + dy * dy;
}

// Moves a range of `size` starting at `low` as little as it takes to lie within [first, end),
// or to start at `first` when it is too long for it.
int32_t Within(int32_t low, int32_t size, int32_t first, int32_t end) {
    const int64_t last = static_cast<int64_t>(end) - size;
    return static_cast<int32_t>(std::max<int64_t>(first, std::min<int64_t>(low, last)));
}

} // namespace

std::optional<PixelPoint> PlaceOnNearestScreen(const PixelRect& window, const PixelRect& reach,
                                               const std::vector<PixelRect>& screens) {
    const PixelRect* nearest = nullptr;
    int64_t nearestDistance = std::numeric_limits<int64_t>::max();
    for (const PixelRect& screen : screens) {
        if (screen.right <= screen.left || screen.bottom <= screen.top) {
            continue;
        }
        if (Overlap(window, screen)) {
            return std::nullopt;
        }
        const int64_t distance = SquaredDistance(window, screen);
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = &screen;
        }
    }
    if (nearest == nullptr) {
        return std::nullopt;
    }
    const int32_t left =
        Within(reach.left, reach.right - reach.left, nearest->left, nearest->right);
    const int32_t top = Within(reach.top, reach.bottom - reach.top, nearest->top, nearest->bottom);
    return PixelPoint{window.left + (left - reach.left), window.top + (top - reach.top)};
}

} // namespace reloj
