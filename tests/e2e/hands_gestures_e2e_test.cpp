// What the mouse does on the real program's hands: a left drag moves both windows as one
// unless the clock is fixed, a right press steps through the colours, a button held five
// seconds brings up the closing message and shorter presses do not.
#include "hands_reading.h"

#include <gtest/gtest.h>
#include <thread>

namespace reloj::e2e {
namespace {

using Steady = std::chrono::steady_clock;

struct DragRow {
    const char* name;
    std::vector<std::string> commandLine;
    bool moves;
};

TEST(Hands, LeftDragMovesBothWindowsAsOne) {
    const DragRow rows[] = {
        {"movable clock", {}, true},
        {"fixed clock", {"718|5|70|1|0|"}, false},
    };
    constexpr int kSteps = 4;
    constexpr int kDx = 40, kDy = 30;
    for (const DragRow& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock clock(Alone(row.commandLine, "10:15:30"));
        ASSERT_TRUE(clock.Started());
        const Rect start = clock.HandsPlace();
        ASSERT_EQ(start, (Rect{718, 5, 794, 81}));
        const auto shifted = [&](int step) {
            const int dx = row.moves ? kDx * step / kSteps : 0;
            const int dy = row.moves ? kDy * step / kSteps : 0;
            return Rect{start.left + dx, start.top + dy, start.right + dx, start.bottom + dy};
        };
        const XServer& server = clock.Server();
        const auto [x, y] = Grip(clock);
        server.MovePointer(x, y);
        server.Button(kLeftButton, true);
        for (int step = 1; step <= kSteps; ++step) {
            server.MovePointer(x + kDx * step / kSteps, y + kDy * step / kSteps);
            // Each step waits for the windows to follow, as a hand on a mouse would.
            if (row.moves) {
                EXPECT_TRUE(PollUntil([&] { return clock.HandsPlace() == shifted(step); }, 2s))
                    << "step " << step << ": " << testing::PrintToString(clock.HandsPlace());
            } else {
                std::this_thread::sleep_for(30ms);
            }
        }
        server.Button(kLeftButton, false);

        const Rect end = shifted(kSteps);
        if (row.moves) {
            PollUntil([&] { return clock.MarkersPlace() == end; }, 2s);
        } else {
            std::this_thread::sleep_for(500ms);
        }
        EXPECT_EQ(clock.HandsPlace(), end);
        EXPECT_EQ(clock.MarkersPlace(), end);
        EXPECT_EQ(ShapeComponents(server.Shape(clock.Markers()), 76, 76).size(), 12u);
    }
}

struct CycleRow {
    const char* name;
    // Black in the cycle hands the clock back to the automatic colour.
    bool automatic;
    unsigned long rgb;
    // The automatic colour repaints only when its choice differs from the one it applied
    // last: coming round to black a second time, with the same desktop, the press's black
    // stays.
    bool sameChoiceAsBefore = false;
};

TEST(Hands, RightPressStepsThroughTheColours) {
    const CycleRow cycle[] = {
        {"automatic", true, 0},
        {"light blue", false, 0x0000FF},
        {"light green", false, 0x00FF00},
        {"light cyan", false, 0x00FFFF},
        {"light red", false, 0xFF0000},
        {"light magenta", false, 0xFF00FF},
        {"light yellow", false, 0xFFFF00},
        {"white", false, 0xFFFFFF},
        {"automatic again keeps the press's black", true, 0, true},
    };
    // On each desktop, the colour the automatic choice must come to.
    const std::pair<unsigned long, unsigned long> desktops[] = {{kWhite, kBlack}, {kBlack, kWhite}};
    for (const auto& [desktop, contrast] : desktops) {
        SCOPED_TRACE("desktop " + Hex(desktop));
        RunningClock clock(Alone({}, "10:15:30", desktop));
        ASSERT_TRUE(clock.Started());
        ASSERT_TRUE(ShowsColour(clock, kRed, 2s));
        const auto [x, y] = Grip(clock);
        clock.Server().MovePointer(x, y);
        unsigned long shown = kRed;
        for (const CycleRow& row : cycle) {
            SCOPED_TRACE(row.name);
            const unsigned long expected =
                row.sameChoiceAsBefore ? kBlack : (row.automatic ? contrast : row.rgb);
            Click(clock.Server(), kRightButton);
            // When the colour to come is the one already shown, looking at once would find it
            // before the press had done anything; look only after the next tick instead.
            if (expected == shown) {
                std::this_thread::sleep_for(1500ms);
            }
            // The automatic colour is chosen on a tick, so it may take a second to show.
            EXPECT_TRUE(ShowsColour(clock, expected, 2500ms));
            shown = expected;
        }
    }
}

struct HoldRow {
    const char* name;
    unsigned button;
};

TEST(Hands, HoldingAButtonFiveSecondsCloses) {
    const HoldRow rows[] = {{"left button", kLeftButton}, {"right button", kRightButton}};
    for (const HoldRow& row : rows) {
        SCOPED_TRACE(row.name);
        RunningClock clock(Alone({}, "10:15:30"));
        ASSERT_TRUE(clock.Started());
        XServer& server = clock.Server();
        const auto [x, y] = Grip(clock);
        server.MovePointer(x, y);
        // The clock began on a whole second: press about half-way to its next tick, so that
        // neither limit below is near.
        std::this_thread::sleep_until(clock.Launched() + 500ms);
        const auto pressed = Steady::now();
        server.Button(row.button, true);
        // The fifth tick with the button down closes; ticks come once a second, so that is
        // four to five seconds after the press.
        const auto box = server.WaitForWindow(kClosingTitle, 8s);
        const double after = SecondsSince(pressed);
        server.Button(row.button, false);
        ASSERT_TRUE(box) << "no closing message " << after << " s after the press";
        EXPECT_GT(after, 3.9);
        EXPECT_LT(after, 5.6);

        EXPECT_EQ(clock.DismissClosingBox(*box), 0) << clock.ErrorOutput();
    }
}

TEST(Hands, PressesShorterThanTheHoldDoNotClose) {
    RunningClock clock(Alone({}, "10:15:30"));
    ASSERT_TRUE(clock.Started());
    const XServer& server = clock.Server();
    const auto [x, y] = Grip(clock);
    server.MovePointer(x, y);
    // Two presses of three or four ticks each, with ticks between them while the button is
    // up: more than five ticks held in all, but never five in a row.
    server.Button(kLeftButton, true);
    std::this_thread::sleep_for(3200ms);
    server.Button(kLeftButton, false);
    std::this_thread::sleep_for(1300ms);
    server.Button(kLeftButton, true);
    std::this_thread::sleep_for(3200ms);
    server.Button(kLeftButton, false);
    std::this_thread::sleep_for(1000ms);
    EXPECT_FALSE(server.WaitForWindow(kClosingTitle, 0ms));
    EXPECT_TRUE(clock.Running());
    EXPECT_TRUE(server.WaitForWindow(kHandsTitle, 0ms));
}

} // namespace
} // namespace reloj::e2e
