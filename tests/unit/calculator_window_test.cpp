#include "calculator/calculator_window.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

class Calculator : public ::testing::Test {
  protected:
    test::FakeCalculatorView& Open() {
        calculator.Show(*hands);
        EXPECT_NE(platform.calculator, nullptr);
        return *platform.calculator;
    }
    void TodayIs(int year, int month, int day) {
        platform.now.year = year;
        platform.now.month = month;
        platform.now.day = day;
    }

    test::FakePlatform platform;
    WindowEvents handsEvents;
    std::unique_ptr<Window> hands =
        platform.CreateWindow(WindowDescription{"reloj"}, nullptr, handsEvents);
    bool muted = false;
    ClockLayout layout{.twipsPerPixelX = 15, .twipsPerPixelY = 15};
    CalculatorWindow calculator{platform, layout, muted};
};

TEST_F(Calculator, OpensShownEmptyAndTickingOwnedByTheHands) {
    auto& view = Open();
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(view.owner, "reloj");
    EXPECT_EQ(view.result, "");
    EXPECT_EQ(view.tickAt, platform.now.epochSecond + 1);
    // Showing it again while it is open keeps the same window.
    calculator.Show(*hands);
    EXPECT_EQ(platform.calculator, &view);
}

TEST_F(Calculator, EachTickReadsTheBox) {
    auto& view = Open();
    TodayIs(2003, 3, 10);
    const struct {
        const char* name;
        const char* typed;
        const char* shown; // after the tick
    } rows[] = {
        {"empty box changes nothing", "", ""},
        {"a birth date", "20/05/2000", "2 Años, 9 Meses Y 18 Días."},
        {"other length leaves the last result", "20/05/200", "2 Años, 9 Meses Y 18 Días."},
        {"trailing blank is eleven characters", "20/05/2000 ", "2 Años, 9 Meses Y 18 Días."},
        {"dashes", "20-05-2001", "1 Años, 9 Meses Y 18 Días."},
        {"today", "10/03/2003", "0 Años, 0 Meses Y 0 Días."},
        {"a date to come", "20/04/2003", "0 Años, 1 Meses Y 10 Días."},
        {"no such day", "31/02/2001", "Fecha no válida."},
        {"letters", "aa/bb/cccc", "Fecha no válida."},
        {"short text after an invalid one", "1/5/2000", "Fecha no válida."},
        {"regression: day missing in February", "31/01/2003", "0 Años, 1 Meses Y 7 Días."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        view.typed = row.typed;
        calculator.OnTick();
        EXPECT_EQ(view.result, row.shown);
    }
}

TEST_F(Calculator, MovesOnAtMidnight) {
    auto& view = Open();
    view.typed = "31/01/2001";
    TodayIs(2001, 2, 28);
    calculator.OnTick();
    EXPECT_EQ(view.result, "0 Años, 0 Meses Y 28 Días.");
    TodayIs(2001, 3, 1);
    calculator.OnTick();
    // regression: the single borrow gave 1 month and -2 days here.
    EXPECT_EQ(view.result, "0 Años, 0 Meses Y 29 Días.");
}

TEST_F(Calculator, TheSwitchWritesTheChimeFlagBothWays) {
    auto& view = Open();
    EXPECT_FALSE(view.muted);
    view.ClickMute();
    EXPECT_TRUE(muted);
    view.ClickMute();
    EXPECT_FALSE(muted);
}

TEST_F(Calculator, ReopeningShowsTheFlagAsItStands) {
    muted = true;
    auto& first = Open();
    EXPECT_TRUE(first.muted);
    first.typed = "20/05/2000";
    calculator.Close();
    EXPECT_EQ(platform.calculator, nullptr);
    muted = false;
    auto& fresh = Open();
    EXPECT_FALSE(fresh.muted);
    // The fresh window's box starts empty: the first tick shows nothing.
    calculator.OnTick();
    EXPECT_EQ(fresh.result, "");
}

TEST_F(Calculator, TicksOnceASecondUntilClosed) {
    auto& view = Open();
    for (int second = 1; second <= 3; ++second) {
        SCOPED_TRACE(second);
        platform.now.epochSecond += 1;
        calculator.OnTick();
        EXPECT_EQ(view.tickAt, platform.now.epochSecond + 1);
    }
    // A jump of the wall clock brings the waiting tick to the next second.
    platform.now.epochSecond += 3600;
    platform.TimeJumped();
    EXPECT_EQ(view.tickAt, platform.now.epochSecond + 1);
    calculator.Close();
    EXPECT_FALSE(calculator.IsOpen());
    EXPECT_EQ(platform.calculator, nullptr) << "a closed calculator keeps no tick";
}

TEST_F(Calculator, CloseButtonClosesTheWindowOnly) {
    auto& view = Open();
    view.ClickMute();
    view.Events().OnCloseRequested();
    EXPECT_FALSE(calculator.IsOpen());
    EXPECT_EQ(platform.calculator, nullptr);
    EXPECT_FALSE(platform.quitStatus);
    EXPECT_TRUE(muted);
}

} // namespace
} // namespace reloj
