#include "clock/screen_fit.h"

#include <gtest/gtest.h>

namespace reloj {

// For failure messages; found by argument lookup, so it stands beside PixelPoint's namespace.
void PrintTo(const PixelPoint& p, std::ostream* out) {
    *out << "(" << p.x << ", " << p.y << ")";
}

namespace {

struct FitRow {
    const char* name;
    PixelRect window;
    std::vector<PixelRect> screens;
    std::optional<PixelPoint> place;
    int32_t beyond = 1; // how far the reach goes past the right and bottom edges
};

TEST(PlaceOnNearestScreen, MovesOnlyAClockNoScreenShows) {
    const PixelRect small{0, 0, 800, 600};
    const PixelRect left{0, 0, 1280, 1024};
    const PixelRect right{1280, 0, 2560, 1024};
    const FitRow rows[] = {
        {"wholly on the screen", {100, 100, 176, 176}, {small}, std::nullopt},
        {"one pixel on the screen", {799, 599, 875, 675}, {small}, std::nullopt},
        {"beyond both edges of a screen that shrank",
         {1000, 800, 1076, 876},
         {small},
         PixelPoint{723, 523}},
        {"the window alone brought in", {1000, 800, 1076, 876}, {small}, PixelPoint{724, 524}, 0},
        {"just past the right edge", {800, 10, 876, 86}, {small}, PixelPoint{723, 10}},
        {"below only: the column is kept", {300, 700, 376, 776}, {small}, PixelPoint{300, 523}},
        {"above and left of the screen", {-500, -90, -424, -14}, {small}, PixelPoint{0, 0}},
        {"the nearer of two screens", {2600, 100, 2676, 176}, {left, right}, PixelPoint{2483, 100}},
        {"a screen that stays shows it", {1300, 100, 1376, 176}, {left, right}, std::nullopt},
        {"larger than the screen keeps its corner on it",
         {900, 700, 1900, 1700},
         {small},
         PixelPoint{0, 0}},
        {"no screen at all", {1000, 800, 1076, 876}, {}, std::nullopt},
        {"an empty screen is no screen", {1000, 800, 1076, 876}, {{0, 0, 0, 0}}, std::nullopt},
    };
    for (const FitRow& row : rows) {
        SCOPED_TRACE(row.name);
        const PixelRect reach{row.window.left, row.window.top, row.window.right + row.beyond,
                              row.window.bottom + row.beyond};
        EXPECT_EQ(PlaceOnNearestScreen(row.window, reach, row.screens), row.place);
    }
}

} // namespace
} // namespace reloj
