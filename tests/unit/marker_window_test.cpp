#include "app/clock_application.h"
#include "clock/marker_window.h"
#include "clock/ring_geometry.h"
#include "fake_platform.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace reloj {
namespace {

using test::FakePlatform;

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
        const auto s = ReadSettings("", row.ratio, row.ratio).state;
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
        const auto s = ReadSettings("", row.ratio, row.ratio).state;
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

class MarkerWindow : public ::testing::Test {
  protected:
    void Start(std::string_view commandLine, float ratio = 15) {
        platform.twipsPerPixelX = ratio;
        platform.twipsPerPixelY = ratio;
        ASSERT_FALSE(app.Start(commandLine).error);
        window = platform.Find(kMarkerTitle);
        ASSERT_NE(window, nullptr);
    }

    FakePlatform platform;
    ClockApplication app{platform};
    test::FakeWindow* window = nullptr;
};

TEST_F(MarkerWindow, SetUpSequence) {
    Start("");
    // The marker window's own steps; the hands window's set-up runs where it is shown.
    std::vector<std::string> own;
    std::copy_if(platform.journal.begin(), platform.journal.end(), std::back_inserter(own),
                 [](const std::string& e) { return e.find("$uhr$") != std::string::npos; });
    const std::vector<std::string> expected = {
        "$uhr$.Create",        "$uhr$.Move",      "$uhr$.SetWidth", "$uhr$.SetHeight",
        "$uhr$.SetBackground", "$uhr$.SetLeft",   "$uhr$.SetTop",   "$uhr$.SetShape",
        "KeepOnTop $uhr$",     "KeepOnTop $uhr$", "$uhr$.Show",
    };
    EXPECT_EQ(own, expected);
    EXPECT_EQ(window->Left(), 10770);
    EXPECT_EQ(window->Top(), 75);
    EXPECT_EQ(window->Width(), 1140);
    EXPECT_EQ(window->Height(), 1140);
    EXPECT_EQ(window->background, 255);
    EXPECT_TRUE(window->visible);
    EXPECT_EQ(app.State().corners,
              (std::array<PixelPoint, 4>{{{718, 5}, {794, 5}, {718, 81}, {794, 81}}}));
}

TEST_F(MarkerWindow, ZeroPositionKeepsTheInitialPlace) {
    Start("0|75|70|1|1|");
    EXPECT_EQ(window->Left(), 7425);
    EXPECT_EQ(window->Top(), 1125);
    EXPECT_EQ(app.State().corners[0].x, 495);
}

// A screen that shrinks under the clock (a monitor unplugged) must not leave it out of reach.
TEST_F(MarkerWindow, ComesBackWhenNoScreenShowsItAnyMore) {
    Start("1000|800|70|1|1|red");
    const auto hands = platform.Find(kHandsTitle);
    ASSERT_NE(hands, nullptr);
    ASSERT_TRUE(platform.screensChanged);

    platform.screens = {{0, 0, 1024, 1024}};
    platform.screensChanged();
    EXPECT_EQ(window->Left(), 15000) << "a clock partly on the screen stays";

    platform.screens = {{0, 0, 800, 600}};
    platform.screensChanged();
    // The corners the automatic colour reads, one pixel beyond the window, come in too.
    EXPECT_EQ(std::pair(window->Left(), window->Top()), std::pair(723.F * 15, 523.F * 15));
    EXPECT_EQ(std::pair(hands->Left(), hands->Top()), std::pair(723.F * 15, 523.F * 15));
    const ClockState& s = app.State();
    EXPECT_EQ(s.corners[0], (PixelPoint{723, 523}));
    EXPECT_EQ(s.corners[3], (PixelPoint{799, 599}));

    app.Markers().Close();
    EXPECT_FALSE(platform.screensChanged) << "the screens are still watched for a closed clock";
}

TEST_F(MarkerWindow, At192DpiTheCornersAndScreensAreInTheScreensPixels) {
    Start("1000|800|70|1|1|red", 7.5f);
    EXPECT_EQ(platform.pixelScale, (PixelScale{15, 15, 2.0}));
    EXPECT_EQ(window->Left(), 15000);
    EXPECT_EQ(window->Width(), 1140);
    EXPECT_EQ(app.State().corners, (std::array<PixelPoint, 4>{
                                       {{2000, 1600}, {2152, 1600}, {2000, 1752}, {2152, 1752}}}));

    // Off a 1600x1200 screen, it comes back within it, corners and all, on pixels a layout
    // pixel lands on.
    platform.screens = {{0, 0, 1600, 1200}};
    platform.screensChanged();
    EXPECT_EQ(app.State().corners[0], (PixelPoint{1446, 1046}));
    EXPECT_EQ(app.State().corners[3], (PixelPoint{1598, 1198}));
    EXPECT_EQ(window->Left(), platform.Find(kHandsTitle)->Left());
}

TEST_F(MarkerWindow, AutomaticColourIsSampledAfterTheHandsAreShown) {
    Start("1|1|70|1|1|0");
    const auto& j = platform.journal;
    const auto handsShown = std::find(j.begin(), j.end(), "reloj.Show");
    const auto coloured = std::find(j.begin(), j.end(), "$uhr$.SetBackground");
    ASSERT_NE(coloured, j.end());
    EXPECT_LT(handsShown, coloured) << "no colour of its own before the desktop is sampled";
    EXPECT_EQ(std::count(j.begin(), j.end(), "reloj.DrawCircle"), 1);
}

TEST_F(MarkerWindow, RingRegionIsTwelveDots) {
    Start("", 12);
    ASSERT_TRUE(window->region);
    const auto& shapes = window->region->Shapes();
    ASSERT_EQ(shapes.size(), 12u);
    EXPECT_EQ(std::get<Region::Ellipse>(shapes[0]).bounds, (PixelRect{71, 36, 75, 40}));
    EXPECT_EQ(std::get<Region::Ellipse>(shapes[6]).bounds, (PixelRect{1, 36, 5, 40}));
}

TEST_F(MarkerWindow, RegionsLiveOnlyWhereTheyAreOwned) {
    const int64_t before = Region::LiveCount();
    Start("");
    // The ring and the hands with the windows, the last dot and the last minute hand ours.
    EXPECT_EQ(Region::LiveCount() - before, 4);
    app.Markers().Close();
    EXPECT_EQ(Region::LiveCount() - before, 0);
    EXPECT_EQ(platform.journal.back(), "$uhr$.Destroy");
}

} // namespace
} // namespace reloj
