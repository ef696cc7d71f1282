#include "clock/ring_geometry.h"
#include "core/region.h"
#include "settings/settings.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

struct DotRow {
    const char* name;
    float ratio;
    int k;
    PixelPoint centre;
};

TEST(RingGeometry, DotCentres) {
    // Defaults: radius 35 pixels, a 76-pixel window at 15 twips per pixel, 74 at 12.
    const DotRow rows[] = {
        {"15: 3 o'clock", 15, 0, {74, 39}}, {"15: k=1", 15, 1, {69, 56}},
        {"15: k=2", 15, 2, {56, 69}},       {"15: 6 o'clock", 15, 3, {39, 74}},
        {"15: k=4", 15, 4, {21, 69}},       {"15: k=5", 15, 5, {8, 56}},
        {"15: 9 o'clock", 15, 6, {4, 39}},  {"15: k=7", 15, 7, {8, 21}},
        {"15: k=8", 15, 8, {21, 8}},        {"15: 12 o'clock", 15, 9, {39, 4}},
        {"15: k=10", 15, 10, {56, 8}},      {"15: k=11", 15, 11, {69, 21}},
        {"12: 3 o'clock", 12, 0, {73, 38}}, {"12: 9 o'clock", 12, 6, {3, 38}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto s = ReadSettings("", row.ratio, row.ratio).layout;
        EXPECT_EQ(DotCentre(row.k, s.radius, static_cast<float>(s.windowSize), Pixels(s)),
                  row.centre);
    }
}

TEST(RingGeometry, ScaledDotCentres) {
    // The 96 dpi centres, scaled: 144 dpi is 1.5 times, 192 dpi twice.
    const DotRow rows[] = {
        {"144 dpi: 3 o'clock", 10, 0, {111, 58}},   {"144 dpi: k=1", 10, 1, {104, 84}},
        {"144 dpi: 9 o'clock", 10, 6, {6, 58}},     {"144 dpi: k=5", 10, 5, {12, 84}},
        {"192 dpi: 3 o'clock", 7.5f, 0, {148, 78}}, {"192 dpi: 12 o'clock", 7.5f, 9, {78, 8}},
        {"192 dpi: k=4", 7.5f, 4, {42, 138}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto s = ReadSettings("", row.ratio, row.ratio).layout;
        EXPECT_EQ(DotCentre(row.k, s.radius, static_cast<float>(s.windowSize), Pixels(s)),
                  row.centre);
    }
}

struct BoundsRow {
    const char* name;
    PixelPoint centre;
    int32_t dotRadius;
    double scale;
    PixelRect bounds;
};

TEST(RingGeometry, DotBounds) {
    const BoundsRow rows[] = {
        {"radius 3", {74, 39}, 3, 1.0, {71, 36, 77, 42}},
        {"radius 2", {73, 38}, 2, 1.0, {71, 36, 75, 40}},
        {"radius 3 at 200 %", {148, 78}, 3, 2.0, {142, 72, 154, 84}},
        // Nine pixels across: the odd pixel goes right and down, for every dot alike.
        {"radius 3 at 150 %", {111, 58}, 3, 1.5, {107, 54, 116, 63}},
        {"radius 8 at 150 %", {0, 0}, 8, 1.5, {-12, -12, 12, 12}},
        {"radius 0 at 200 %", {5, 5}, 0, 2.0, {5, 5, 5, 5}},
    };
    for (const BoundsRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DotBounds(row.centre, row.dotRadius, row.scale), row.bounds);
    }
}

struct EllipseRow {
    const char* name;
    PixelRect bounds;
    std::vector<int32_t> widths; // pixels in each row, top to bottom
};

TEST(EllipseRows, RoundAndCentred) {
    const EllipseRow rows[] = {
        {"dot of radius 3", {71, 36, 77, 42}, {4, 6, 6, 6, 6, 4}},
        {"dot of radius 2", {71, 36, 75, 40}, {2, 4, 4, 2}},
        {"dot of radius 8",
         {0, 0, 16, 16},
         {6, 10, 12, 14, 14, 16, 16, 16, 16, 16, 16, 14, 14, 12, 10, 6}},
        {"empty", {5, 5, 5, 9}, {}},
        {"inside out", {5, 5, 1, 1}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto spans = EllipseRows(row.bounds);
        std::vector<int32_t> widths;
        for (const PixelRect& span : spans) {
            widths.push_back(span.right - span.left);
            // Every row is centred in the rectangle and lies inside it.
            EXPECT_EQ(span.left - row.bounds.left, row.bounds.right - span.right);
            EXPECT_GE(span.left, row.bounds.left);
        }
        EXPECT_EQ(widths, row.widths);
    }
}

struct CornerRow {
    const char* name;
    float left, top, size;
    std::array<PixelPoint, 4> corners;
    double scale = 1.0;
};

TEST(RingGeometry, WindowCorners) {
    const CornerRow rows[] = {
        {"defaults", 10770, 75, 1140, {{{718, 5}, {794, 5}, {718, 81}, {794, 81}}}},
        {"left edge truncates toward zero", -20, 0, 1140, {{{-1, 0}, {74, 0}, {-1, 76}, {74, 76}}}},
        {"half twips round to even", 22.5, 7.5, 1140, {{{1, 0}, {77, 0}, {1, 76}, {77, 76}}}},
        {"regression: left edge stored just past 32 bits",
         2147483640.0f,
         0,
         1140,
         {{{143165576, 0}, {143165652, 0}, {143165576, 76}, {143165652, 76}}}},
        {"defaults at 200 %",
         10770,
         75,
         1140,
         {{{1436, 10}, {1588, 10}, {1436, 162}, {1588, 162}}},
         2.0},
        {"defaults at 150 %",
         10770,
         75,
         1140,
         {{{1077, 8}, {1191, 8}, {1077, 122}, {1191, 122}}},
         1.5},
        // 75 pixels at 150 % are 112.5, which the window rounds to 112; the corner beyond it
        // must not fall inside the window, whatever the place.
        {"odd size at 150 %", 15, 15, 1125, {{{2, 2}, {114, 2}, {2, 114}, {114, 114}}}, 1.5},
        {"a sum that reaches the next pixel at 150 %",
         10,
         10,
         1130,
         {{{0, 0}, {114, 0}, {0, 114}, {114, 114}}},
         1.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PixelScale pixels{15, 15, row.scale};
        const auto corners = WindowCorners(row.left, row.top, row.size, row.size, pixels);
        EXPECT_EQ(corners, row.corners);
        // The right and bottom corners lie just outside the window as it is placed, wherever
        // the window's edges are not truncated toward zero from the left or above.
        if (row.left >= 0 && row.top >= 0) {
            EXPECT_GE(corners[3].x, pixels.DeviceX(row.left) + pixels.DeviceX(row.size));
            EXPECT_GE(corners[3].y, pixels.DeviceY(row.top) + pixels.DeviceY(row.size));
        }
    }
}

} // namespace
} // namespace reloj
