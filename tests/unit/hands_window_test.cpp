#include "app/clock_application.h"
#include "calculator/calculator_window.h"
#include "clock/closing_message.h"
#include "clock/hands_window.h"
#include "fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <variant>

namespace reloj {
namespace {

using test::FakePlatform;

class Clock : public ::testing::Test {
  protected:
    void Start(std::string_view commandLine) {
        ASSERT_FALSE(app.Start(commandLine).error);
        hands = platform.Find(kHandsTitle);
        markers = platform.Find("$uhr$");
        ASSERT_NE(hands, nullptr);
        ASSERT_NE(markers, nullptr);
    }
    HandsWindow& Hands() { return app.Hands(); }
    void At(int hour, int minute, int second) {
        platform.now.hour = hour;
        platform.now.minute = minute;
        platform.now.second = second;
        // The fake day runs in UTC from the epoch: only differences between instants count.
        platform.now.epochSecond = (hour * 60 + minute) * 60 + second;
    }
    void Tick() { Hands().OnTick(); }
    bool Journaled(const std::string& entry) const {
        return std::find(platform.journal.begin(), platform.journal.end(), entry) !=
               platform.journal.end();
    }
    long Count(const std::string& entry) const {
        return std::count(platform.journal.begin(), platform.journal.end(), entry);
    }

    FakePlatform platform;
    ClockApplication app{platform};
    test::FakeWindow* hands = nullptr;
    test::FakeWindow* markers = nullptr;
};

TEST_F(Clock, OpeningBringsUpTheHandsAboveTheRing) {
    At(10, 15, 30);
    Start("");
    const std::vector<std::string> expected = {
        "$uhr$.Create",        "$uhr$.Move",      "$uhr$.SetWidth",  "$uhr$.SetHeight",
        "$uhr$.SetBackground", "$uhr$.SetLeft",   "$uhr$.SetTop",    "$uhr$.SetShape",
        "KeepOnTop $uhr$",     "reloj.Create",    "reloj.Move",      "reloj.SetBackground",
        "reloj.SetHeight",     "reloj.SetShape",  "KeepOnTop reloj", "reloj.Show",
        "reloj.DrawCircle",    "KeepOnTop $uhr$", "$uhr$.Show",
    };
    EXPECT_EQ(platform.journal, expected);
    EXPECT_EQ(hands->tickAt, platform.now.epochSecond + 30) << "asleep until 10:16:00";
    EXPECT_EQ(hands->Left(), markers->Left());
    EXPECT_EQ(hands->Top(), markers->Top());
    EXPECT_EQ(hands->Width(), markers->Width());
    EXPECT_EQ(hands->Height(), markers->Height());
    EXPECT_EQ(hands->background, 255);
    ASSERT_TRUE(hands->region);
    EXPECT_EQ(hands->region->Shapes().size(), 2u);
}

TEST_F(Clock, AutomaticColourWhenOpened) {
    platform.desktop = 0xFFFFFF;
    Start("1|1|70|1|1|0");
    EXPECT_EQ(hands->background, kBlack);
    EXPECT_EQ(markers->background, kBlack);
    EXPECT_EQ(hands->fill, kWhite);
    EXPECT_EQ(hands->circles, 1);
}

TEST_F(Clock, TickOrder) {
    At(10, 29, 59);
    platform.desktop = 0xFFFFFF;
    Start("1|1|70|1|1|0");
    At(10, 30, 0);
    platform.desktop = 0;
    platform.desktopChanged(DesktopChange::Look);
    platform.journal.clear();
    Tick();
    const std::vector<std::string> expected = {
        "CreateSoundPlayer",       "Open /sonidos/media.wav (Campanada de la media)",
        "Play /sonidos/media.wav", "ScreenPixel 1,1",
        "ScreenPixel 77,1",        "ScreenPixel 1,77",
        "ScreenPixel 77,77",       "reloj.SetBackground",
        "reloj.SetFill",           "reloj.Repaint",
        "$uhr$.SetBackground",     "$uhr$.Repaint",
        "reloj.DrawCircle",        "KeepOnTop reloj",
        "KeepOnTop $uhr$",         "reloj.SetShape",
    };
    EXPECT_EQ(platform.journal, expected) << "desktop 0 is dark: the clock turns white";

    // The same minute again, and no news from the desktop: chime rows, colour and shape all
    // stay as they are, and no pixel is read.
    platform.journal.clear();
    At(10, 30, 1);
    Tick();
    const std::vector<std::string> quiet = {"KeepOnTop reloj", "KeepOnTop $uhr$"};
    EXPECT_EQ(platform.journal, quiet);
}

TEST_F(Clock, ChosenColourIsNeverSampled) {
    Start("");
    Tick();
    EXPECT_FALSE(std::any_of(platform.journal.begin(), platform.journal.end(),
                             [](const std::string& e) { return e.starts_with("ScreenPixel"); }));
}

TEST_F(Clock, MinuteChangeRedrawsOnce) {
    At(10, 0, 30);
    Start("");
    platform.journal.clear();
    Tick(); // minute 0 equals the initial m_lastMinute of 0: no redraw
    EXPECT_EQ(Count("reloj.SetShape"), 0);
    At(10, 1, 0);
    Tick();
    Tick();
    EXPECT_EQ(Count("reloj.SetShape"), 1);
    At(11, 0, 0);
    Tick();
    EXPECT_EQ(Count("reloj.SetShape"), 2);
}

TEST_F(Clock, MuteFlagSilencesChimesButNotTheClosingSound) {
    At(11, 59, 59);
    Start("");
    app.ChimesMuted() = true;
    At(12, 0, 0);
    Tick();
    EXPECT_FALSE(Journaled("Play /sonidos/12pm.wav"));
    At(12, 30, 0);
    Tick();
    EXPECT_FALSE(Journaled("Play /sonidos/media.wav"));
    app.State().buttonHeld = true;
    for (int i = 0; i < kHoldTicksToQuit; ++i) {
        Tick();
    }
    EXPECT_TRUE(Journaled("Play /sonidos/finreloj.wav"));
}

TEST_F(Clock, HoldToQuit) {
    Start("");
    ClockState& s = app.State();
    // Short presses never add up: a release resets the count at the next tick.
    s.buttonHeld = true;
    for (int i = 0; i < 4; ++i) {
        Tick();
    }
    s.buttonHeld = false;
    Tick();
    s.buttonHeld = true;
    for (int i = 0; i < 4; ++i) {
        Tick();
    }
    EXPECT_FALSE(platform.quitStatus);
    EXPECT_FALSE(Journaled("MessageBox"));

    // Ticks that come while the message box is up run as usual but do not close again.
    platform.duringMessageBox = [this] {
        Tick();
        Tick();
    };
    platform.journal.clear();
    Tick();
    const std::vector<std::string> closing = {
        "CreateSoundPlayer",
        "Open /sonidos/finreloj.wav (Despedida)",
        "Play /sonidos/finreloj.wav",
        "MessageBox",
        "KeepOnTop reloj",
        "KeepOnTop $uhr$",
        "KeepOnTop reloj",
        "KeepOnTop $uhr$",
        "reloj.Hide",
        "$uhr$.Hide",
        "reloj.Destroy",
        "Quit 0",
        "$uhr$.Destroy",
    };
    EXPECT_EQ(platform.journal, closing);
    EXPECT_EQ(platform.quitStatus, 0);
    EXPECT_EQ(platform.messageTitle, "^Quorvix^ Velmaro....");
    EXPECT_EQ(platform.messageText, ClosingMessage());
    // The box belongs to the hands, so that it stays above the clock while it is open.
    EXPECT_EQ(platform.messageOwner, kHandsTitle);
}

// A stretch of ticks with the button held or not.
struct HoldRun {
    bool held;
    int ticks;
};

struct UnderTheBoxRow {
    const char* name;
    std::vector<HoldRun> underTheBox; // what happens while the closing box is up
};

// The box is modal but the clock keeps ticking beneath it, and a release can go astray while
// it is up. However long that lasts, the clock closes once.
TEST(HoldToQuit, ClosesOnceWhateverTicksUnderTheBox) {
    // One full turn of a 16-bit count brings it back to the closing count, so a counter that
    // kept counting under the box would open it again.
    constexpr int kSixteenBitTurn = 65536;
    const UnderTheBoxRow rows[] = {
        {"a few ticks with the button still down", {{true, 2}}},
        {"regression: a lost release keeps the button down past a turn of a 16-bit count",
         {{true, kSixteenBitTurn + kHoldTicksToQuit}}},
        {"a release, then a fresh hold as long as the closing one",
         {{false, 1}, {true, 2 * kHoldTicksToQuit}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakePlatform rowPlatform;
        ClockApplication rowApp{rowPlatform};
        ASSERT_FALSE(rowApp.Start("").error);
        HandsWindow& handsWindow = rowApp.Hands();
        ClockState& s = rowApp.State();
        int boxes = 0;
        rowPlatform.duringMessageBox = [&] {
            if (++boxes > 1) {
                return; // a second box: the fault itself, and not to be ticked under again
            }
            for (const HoldRun& run : row.underTheBox) {
                s.buttonHeld = run.held;
                for (int i = 0; i < run.ticks && handsWindow.IsOpen() && boxes == 1; ++i) {
                    handsWindow.OnTick();
                }
            }
        };
        s.buttonHeld = true;
        for (int i = 0; i < kHoldTicksToQuit; ++i) {
            handsWindow.OnTick();
        }
        EXPECT_EQ(boxes, 1);
        EXPECT_EQ(rowPlatform.quitStatus, 0);
        EXPECT_EQ(std::count(rowPlatform.journal.begin(), rowPlatform.journal.end(),
                             std::string("Quit 0")),
                  1);
    }
}

TEST(ClosingMessage, TenLinesJoinedByLineFeeds) {
    const std::string text = ClosingMessage();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        lines.push_back(text.substr(from, at - from));
    }
    lines.push_back(text.substr(from));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], std::string("reloj ") + RELOJ_VERSION);
    EXPECT_EQ(lines[1], "Email: reloj@example.org Para Dudas");
    EXPECT_NE(lines[2].find("example.org"), std::string::npos);
    EXPECT_NE(lines[3].find("example.org"), std::string::npos);
    EXPECT_EQ(lines[4].size(), 115u);
    EXPECT_EQ(lines[4].substr(43, 25), "A-----Y-----U-----D-----A");
    EXPECT_EQ(lines[4].find_first_not_of('-'), 43u);
    EXPECT_EQ(lines[9], "Sale Del Programa.");
}

TEST_F(Clock, RegionsStayConstantOverAWeek) {
    At(0, 0, 0);
    Start("");
    const int64_t live = Region::LiveCount();
    // Both windows' shapes, the last dot and the last minute hand.
    EXPECT_EQ(live, 4);
    for (int day = 0; day < 7; ++day) {
        for (int minute = 0; minute < 24 * 60; ++minute) {
            At(minute / 60, minute % 60, 0);
            Tick();
        }
        ASSERT_EQ(Region::LiveCount(), live) << "after day " << day;
    }
    app.Markers().Close();
    EXPECT_EQ(Region::LiveCount(), 0);
}

TEST_F(Clock, StyleWithoutHandsLeavesTheWindowUnshaped) {
    Start("1|1|70|3|1|");
    EXPECT_FALSE(hands->region);
    At(10, 16, 0);
    Tick();
    EXPECT_FALSE(hands->region);
}

TEST_F(Clock, RightButtonCyclesEightColours) {
    Start("");
    const std::array<Colour, 9> expected{0x000000, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF,
                                         0xFF00FF, 0x00FFFF, 0xFFFFFF, 0x000000};
    for (Colour colour : expected) {
        Hands().OnMousePress(kRightButton, 570, 570);
        EXPECT_EQ(app.State().clockColour, colour);
        EXPECT_EQ(hands->background, colour);
        EXPECT_EQ(markers->background, colour);
        EXPECT_EQ(hands->fill, colour == kBlack ? kWhite : kBlack);
        EXPECT_EQ(hands->circles, 1);
        EXPECT_TRUE(app.State().buttonHeld);
        Hands().OnMouseRelease(kRightButton, 570, 570);
        EXPECT_FALSE(app.State().buttonHeld);
    }
}

TEST_F(Clock, BlackFromTheCycleHandsBackToTheAutomaticColour) {
    platform.desktop = 0xFFFFFF; // the automatic choice would be black too
    Start("");
    Hands().OnMousePress(kRightButton, 570, 570);
    Hands().OnMouseRelease(kRightButton, 570, 570);
    platform.journal.clear();
    Tick();
    EXPECT_TRUE(Journaled("ScreenPixel 718,5"));
    EXPECT_TRUE(Journaled("reloj.SetBackground")) << "the first automatic choice always paints";
    platform.journal.clear();
    Tick();
    EXPECT_FALSE(Journaled("reloj.SetBackground"));
}

TEST_F(Clock, LeftDragMovesBothWindowsAsOne) {
    Start("");
    Hands().OnMousePress(kLeftButton, 300.4f, 450.5f);
    EXPECT_EQ(app.State().dragAnchor, (TwipsPoint{300, 450}));
    Hands().OnMouseMove(kLeftButton, 450, 375);
    EXPECT_EQ(hands->Left(), 10770 + 150);
    EXPECT_EQ(hands->Top(), 75 - 75);
    EXPECT_EQ(markers->Left(), hands->Left());
    EXPECT_EQ(markers->Top(), hands->Top());
    // Both buttons held, or only the right one: no drag.
    Hands().OnMouseMove(kLeftButton + kRightButton, 900, 900);
    Hands().OnMouseMove(kRightButton, 900, 900);
    EXPECT_EQ(hands->Left(), 10920);
    Hands().OnMouseRelease(kLeftButton, 450, 375);
    EXPECT_EQ(app.State().corners[0], (PixelPoint{728, 0}));
}

TEST_F(Clock, FixedClockDoesNotMove) {
    Start("100|50|70|1|0|");
    Hands().OnMousePress(kLeftButton, 0, 0);
    Hands().OnMouseMove(kLeftButton, 450, 375);
    EXPECT_EQ(hands->Left(), 1500);
    platform.journal.clear();
    Hands().OnMouseRelease(kLeftButton, 450, 375);
    EXPECT_TRUE(platform.journal.empty()) << "no corners are taken for a fixed clock";
}

TEST_F(Clock, ClickClosesTheCalculatorAndDoubleClickOpensAFreshOne) {
    Start("");
    Hands().OnDoubleClick();
    ASSERT_NE(platform.calculator, nullptr);
    // Owned by the hands, it opens above the clock and stays there.
    EXPECT_EQ(platform.calculator->owner, kHandsTitle);
    // A double-click starts with a click: the open calculator goes, a new one comes.
    platform.journal.clear();
    Hands().OnClick();
    Hands().OnDoubleClick();
    ASSERT_GE(platform.journal.size(), 3u);
    EXPECT_EQ(platform.journal[0], "Calculator.Destroy");
    EXPECT_EQ(platform.journal[1], "Calculator.Create");
    EXPECT_EQ(platform.journal.back(), "Calculator.Show");
    Hands().OnClick();
    EXPECT_EQ(platform.calculator, nullptr);
    Hands().OnClick(); // nothing left to close
}

TEST_F(Clock, ClosingTheClockClosesTheCalculator) {
    Start("");
    Hands().OnDoubleClick();
    app.Markers().Close();
    EXPECT_EQ(platform.calculator, nullptr);
    EXPECT_EQ(platform.quitStatus, 0);
}

// The clock over hours of wall-clock time, ticking only at the seconds it asks for, as the
// platform runs it; the wall clock may jump and the zone change on the way.
namespace asleep {

// A zone: its offset from UTC in seconds, from each instant on.
struct Offset {
    int64_t from;
    int32_t seconds;
};
using Zone = std::vector<Offset>;

constexpr int32_t kHour = 3600;
const Zone kMadridWinter{{0, kHour}};
const Zone kKolkata{{0, 5 * kHour + 30 * 60}};
// Summer time in Madrid begins at 01:00 UTC on 2026-03-29 and ends at 01:00 UTC on 2026-10-25.
constexpr int64_t kSpringForward = 1774746000;
constexpr int64_t kFallBack = 1792890000;
const Zone kMadridSpring{{0, kHour}, {kSpringForward, 2 * kHour}};
const Zone kMadridAutumn{{0, 2 * kHour}, {kFallBack, kHour}};

LocalTime LocalAt(int64_t utc, const Zone& zone) {
    int32_t offset = zone.front().seconds;
    for (const Offset& o : zone) {
        if (utc >= o.from) {
            offset = o.seconds;
        }
    }
    const std::time_t shifted = utc + offset;
    std::tm t{};
    gmtime_r(&shifted, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, utc};
}

std::string Clock24(const LocalTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

// The hands' polygons, in order.
std::vector<Quad> Polygons(const Region& region) {
    std::vector<Quad> quads;
    for (const Region::Shape& shape : region.Shapes()) {
        if (const auto* polygon = std::get_if<Region::Polygon>(&shape)) {
            quads.push_back(polygon->vertices);
        }
    }
    return quads;
}

// What happens at a moment of the run: the wall clock jumps by `jump` seconds, the zone
// becomes `zone`, or the desktop sends news.
struct Happening {
    int64_t after; // seconds from the start of the run
    int64_t jump = 0;
    const Zone* zone = nullptr;
    std::optional<DesktopChange> news = std::nullopt;
    std::optional<bool> held = std::nullopt;
};

struct AsleepRow {
    const char* name;
    const Zone* zone;
    int64_t startUtc;
    int64_t seconds; // how long the run lasts
    std::vector<Happening> happenings;
    std::vector<std::string> chimes; // "local time file", in order
    int ticks;
    const char* commandLine = "";
};

class Sleeper {
  public:
    Sleeper(const Zone& zone, int64_t utc, const char* commandLine = "")
        : m_zone(&zone), m_utc(utc) {
        platform.now = LocalAt(utc, zone);
        EXPECT_FALSE(app.Start(commandLine).error);
        hands = platform.Find(kHandsTitle);
    }

    // Runs every tick asked for up to `utc`, then sets the wall clock there.
    void RunTo(int64_t utc) {
        while (hands != nullptr && hands->tickAt && *hands->tickAt <= utc) {
            Tick(*hands->tickAt);
        }
        m_utc = utc;
        platform.now = LocalAt(m_utc, *m_zone);
    }
    void Jump(int64_t seconds, const Zone* zone) {
        m_utc += seconds;
        if (zone != nullptr) {
            m_zone = zone;
        }
        platform.now = LocalAt(m_utc, *m_zone);
        platform.TimeJumped();
    }
    int64_t Utc() const { return m_utc; }
    const Zone& CurrentZone() const { return *m_zone; }

    FakePlatform platform;
    ClockApplication app{platform};
    test::FakeWindow* hands = nullptr;
    std::vector<std::string> chimes;
    int ticks = 0;

  private:
    void Tick(int64_t utc) {
        platform.now = LocalAt(utc, *m_zone);
        const std::size_t before = platform.journal.size();
        app.Hands().OnTick();
        ++ticks;
        for (std::size_t i = before; i < platform.journal.size(); ++i) {
            const std::string& entry = platform.journal[i];
            if (entry.rfind("Play /sonidos/", 0) == 0) {
                chimes.push_back(Clock24(platform.now) + " " + entry.substr(14));
            }
        }
    }

    const Zone* m_zone;
    int64_t m_utc;
};

// 2026-12-09 09:15:30 UTC, 10:15:30 in Madrid.
constexpr int64_t kMorning = 1796807730;

TEST(AsleepBetweenTicks, WakesForEveryChimeMinuteHoldAndNewsAndAfterEveryJump) {
    const AsleepRow rows[] = {
        {"a quiet hour wakes once a minute",
         &kMadridWinter,
         kMorning,
         3600,
         {},
         {"10:30:00 media.wav", "11:00:00 11am.wav"},
         60},
        {"Kolkata's half-hour offset chimes on its own hours",
         &kKolkata,
         kMorning,
         3600,
         {},
         // 09:15:30 UTC is 14:45:30 in Kolkata.
         {"15:00:00 15pm.wav", "15:30:00 media.wav"},
         60},
        {"spring forward: 02:00 never comes, 03:00 does",
         &kMadridSpring,
         kSpringForward - 1800 - 30,
         3600,
         {},
         {"01:30:00 media.wav", "03:00:00 3am.wav"},
         60},
        {"fall back: the hour shown twice chimes twice",
         &kMadridAutumn,
         kFallBack - 1800 - 30,
         5400,
         {},
         {"02:30:00 media.wav", "02:00:00 2am.wav", "02:30:00 media.wav"},
         90},
        {"a held button counts each second, then one tick brings the count back",
         &kMadridWinter,
         kMorning,
         60,
         {{.after = 10, .held = true}, {.after = 13, .held = false}},
         {},
         3 + 1 + 1},
        {"news from the desktop wakes the next second only",
         &kMadridWinter,
         kMorning,
         60,
         {{.after = 5, .news = DesktopChange::Stacking}, {.after = 7, .news = DesktopChange::Look}},
         {},
         1 + 1 + 1,
         "1|1|70|1|1|0"},
        {"a step back over a chime just played does not play it again",
         &kMadridWinter,
         kMorning + 14 * 60 + 25,
         120,
         {{.after = 10, .jump = -8}},
         {"10:30:00 media.wav"},
         4},
        {"a step forward of ten minutes over a chime skips it",
         &kMadridWinter,
         kMorning + 14 * 60 + 25,
         120,
         {{.after = 1, .jump = 600}},
         {},
         1 + 2},
        {"a resume after an hour's sleep shows the time at once and skips what it slept through",
         &kMadridWinter,
         kMorning,
         70,
         {{.after = 40, .jump = 3600}},
         {},
         2},
        {"a new zone shows its time within a second",
         &kMadridWinter,
         kMorning,
         90,
         {{.after = 40, .zone = &kKolkata}},
         {},
         1 + 1 + 1},
    };
    for (const AsleepRow& row : rows) {
        SCOPED_TRACE(row.name);
        Sleeper clock(*row.zone, row.startUtc, row.commandLine);
        ASSERT_NE(clock.hands, nullptr);
        const int64_t start = row.startUtc;
        int64_t offsetJumped = 0;
        for (const Happening& h : row.happenings) {
            clock.RunTo(start + offsetJumped + h.after);
            if (h.jump != 0 || h.zone != nullptr) {
                clock.Jump(h.jump, h.zone);
                offsetJumped += h.jump;
                // The hands show the new time within a second.
                clock.RunTo(clock.Utc() + 1);
                Sleeper fresh(clock.CurrentZone(), clock.Utc(), row.commandLine);
                ASSERT_TRUE(clock.hands->region && fresh.hands->region);
                EXPECT_EQ(Polygons(*clock.hands->region), Polygons(*fresh.hands->region))
                    << "at " << Clock24(clock.platform.now);
            }
            if (h.news) {
                clock.platform.desktopChanged(*h.news);
            }
            if (h.held) {
                if (*h.held) {
                    clock.app.Hands().OnMousePress(kLeftButton, 0, 0);
                } else {
                    clock.app.Hands().OnMouseRelease(kLeftButton, 0, 0);
                }
            }
        }
        clock.RunTo(start + offsetJumped + row.seconds);
        EXPECT_EQ(clock.chimes, row.chimes);
        EXPECT_EQ(clock.ticks, row.ticks);
    }
}

} // namespace asleep

} // namespace
} // namespace reloj
