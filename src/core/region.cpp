#include "core/region.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace reloj {

namespace {
std::atomic<int64_t> liveRegions{0};
}

Region::Region() {
    ++liveRegions;
}

Region Region::MakeEllipse(PixelRect bounds) {
    Region region;
    region.m_shapes.push_back(Ellipse{bounds});
    return region;
}

Region Region::MakePolygon(const Quad& vertices) {
    Region region;
    region.m_shapes.push_back(Polygon{vertices});
    return region;
}

// The new object takes over the other's place in the count.
Region::Region(Region&& other) noexcept
    : m_shapes(std::move(other.m_shapes)), m_live(other.m_live) {
    other.m_live = false;
}

Region& Region::operator=(Region&& other) noexcept {
    if (this != &other) {
        m_shapes = std::move(other.m_shapes);
        if (!m_live) {
            m_live = true;
            ++liveRegions;
        }
        if (other.m_live) {
            other.m_live = false;
            --liveRegions;
        }
    }
    return *this;
}

Region::~Region() {
    if (m_live) {
        --liveRegions;
    }
}

void Region::Unite(const Region& other) {
    m_shapes.insert(m_shapes.end(), other.m_shapes.begin(), other.m_shapes.end());
}

int64_t Region::LiveCount() {
    return liveRegions.load();
}

std::vector<PixelRect> EllipseRows(PixelRect bounds) {
    std::vector<PixelRect> rows;
    const double semiX = (static_cast<double>(bounds.right) - bounds.left) / 2.0;
    const double semiY = (static_cast<double>(bounds.bottom) - bounds.top) / 2.0;
    if (semiX <= 0 || semiY <= 0) {
        return rows;
    }
    const double centreX = bounds.left + semiX;
    const double centreY = bounds.top + semiY;
    for (int32_t y = bounds.top; y < bounds.bottom; ++y) {
        const double dy = (y + 0.5 - centreY) / semiY;
        const double reach = semiX * std::sqrt(std::max(0.0, 1.0 - dy * dy));
        // Pixel x is inside when |x + 0.5 - centreX| <= reach.
        const auto left = static_cast<int32_t>(std::ceil(centreX - reach - 0.5));
        const auto right = static_cast<int32_t>(std::floor(centreX + reach - 0.5)) + 1;
        if (right > left) {
            rows.push_back({left, y, right, y + 1});
        }
    }
    return rows;
}

} // namespace reloj
