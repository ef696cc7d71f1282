#include "platform/region.h"

#include <atomic>

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

} // namespace reloj
