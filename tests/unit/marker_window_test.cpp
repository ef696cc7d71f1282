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

TEST(RingGeometry, DotBounds) {
    EXPECT_EQ(DotBounds({74, 39}, 3, 1.0), (PixelRect{71, 36, 77, 42}));
    EXPECT_EQ(DotBounds({73, 38}, 2, 1.0), (PixelRect{71, 36, 75, 40}));
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
};

TEST(RingGeometry, WindowCorners) {
    const CornerRow rows[] = {
        {"defaults", 10770, 75, 1140, {{{718, 5}, {794, 5}, {718, 81}, {794, 81}}}},
        {"left edge truncates toward zero", -20, 0, 1140, {{{-1, 0}, {74, 0}, {-1, 76}, {74, 76}}}},
        {"half twips round to even", 22.5, 7.5, 1140, {{{1, 0}, {77, 0}, {1, 76}, {77, 76}}}},
        {"regression: left edge stored just past 32 bits", 2147483640.0f, 0, 1140,
         {{{143165576, 0}, {143165652, 0}, {143165576, 76}, {143165652, 76}}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(WindowCorners(row.left, row.top, row.size, row.size, PixelScale{15, 15, 1.0}),
                  row.corners);
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
