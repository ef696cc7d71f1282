// A window region as the logic builds it: a union of ellipses inscribed in pixel rectangles and
// of polygons, in pixels relative to a window's top-left corner. Regions are move-only values:
// handing one to a window moves it there, and whoever holds a region frees it by letting it go.
// How the window system turns the shapes into pixels is the platform's business.
#pragma once

#include <array>
#include <cstdint>
#include <variant>
#include <vector>

namespace reloj {

struct PixelPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Right and bottom are the first column and row outside, as window rectangles are given.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

using Quad = std::array<PixelPoint, 4>;

class Region {
  public:
    struct Ellipse {
        PixelRect bounds;
    };
    // Filled with the winding rule.
    struct Polygon {
        Quad vertices;
    };
    using Shape = std::variant<Ellipse, Polygon>;

    static Region MakeEllipse(PixelRect bounds);
    static Region MakePolygon(const Quad& vertices);

    Region(Region&& other) noexcept;
    Region& operator=(Region&& other) noexcept;
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;
    ~Region();

    // this := this united with other; other is left as it was.
    void Unite(const Region& other);

    const std::vector<Shape>& Shapes() const { return m_shapes; }

    // How many regions exist in the whole program right now: a region that is never let go
    // shows up here as growth.
    static int64_t LiveCount();

  private:
    Region();
    std::vector<Shape> m_shapes;
    bool m_live = true; // a moved-from region no longer counts
};

// The pixels of the ellipse inscribed in a rectangle, one rectangle per pixel row: a pixel
// belongs to the ellipse when its centre lies inside or on it. The rule is symmetric, so a dot
// is centred in its rectangle whatever the window system's own ellipse rule would give.
std::vector<PixelRect> EllipseRows(PixelRect bounds);

} // namespace reloj
