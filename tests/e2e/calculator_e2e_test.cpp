// The age calculator of the real program, met from outside: opened by a double-click on the
// hands, read through the accessibility bus as a screen reader reads it, typed into and clicked
// through the X server, closed by a click on the hands or by its close button; and its switch
// that silences the chimes, checked in the program's sound log and on a null sound sink.
#include "a11y_reader.h"
#include "calculator_x_events.h"
#include "running_clock.h"
#include "sound_harness.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <thread>

namespace reloj::e2e {
namespace {

using Steady = std::chrono::steady_clock;

// The name the program goes by on the accessibility bus, and the names a screen reader says
// for the date box, the result and the mute switch.
constexpr const char* kApplication = "reloj";
constexpr const char* kDateBox = "Fecha de nacimiento";
constexpr const char* kResult = "Tiempo vivido";
constexpr const char* kMuteSwitch = "Quitar sonidos de las horas";

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
// The mute switch's place in the calculator's client area at 96 dpi; a click a few pixels in
// from its top-left corner lands on its box.
constexpr int kSwitchLeft = 224;
constexpr int kSwitchTop = 32;
constexpr int kIntoSwitch = 6;
constexpr int kSwitchHeight = 13;
// The part of the switch where its box stands; its caption follows.
constexpr int kSwitchBoxColumns = 20;
// Longer than any double-click interval, so that the next click counts on its own.
constexpr auto kClickGap = 800ms;
// More characters than the tests ever leave in the date box.
constexpr int kLongestText = 12;
// The calculator reads its box once a second; on a loaded machine a reading may come late.
constexpr auto kReadingTimeout = 10s;

constexpr const char* kValidCaption = "2 Años, 9 Meses Y 18 Días.";
constexpr const char* kInvalidCaption = "Fecha no válida.";

// A clock started as the options say (alone on its own X server at 96 dpi, unless they say
// otherwise) that publishes its widgets on an accessibility bus of its own.
class Clock {
  public:
    explicit Clock(const ClockOptions& options) : m_clock(OnBus(options, m_bus)) {}

    testing::AssertionResult Started() { return m_clock.Started(); }

    testing::AssertionResult OpenCalculator() {
        const Rect hands = m_clock.HandsPlace();
        DoubleClick((hands.left + hands.right) / 2, (hands.top + hands.bottom) / 2);
        const auto window = Server().WaitForWindow(kCalculatorTitle);
        if (!window) {
            return testing::AssertionFailure()
                   << "no window titled \"" << kCalculatorTitle
                   << "\" after a double-click on the hands; the program wrote: "
                   << m_clock.ErrorOutput();
        }
        m_calculator = *window;
        return testing::AssertionSuccess();
    }

    void Click(int x, int y) {
        AwaitClickGap();
        Server().MovePointer(x, y);
        Server().Button(kLeftButton, true);
        Server().Button(kLeftButton, false);
        m_lastClick = Steady::now();
    }

    void DoubleClick(int x, int y) {
        AwaitClickGap();
        Server().MovePointer(x, y);
        for (int i = 0; i < 2; ++i) {
            Server().Button(kLeftButton, true);
            Server().Button(kLeftButton, false);
        }
        m_lastClick = Steady::now();
    }

    // Empties the calculator's box and types the text into it through the keyboard.
    void Type(const std::string& text) {
        Server().Focus(m_calculator);
        Server().Key("End", true);
        Server().Key("End", false);
        for (int i = 0; i < kLongestText; ++i) {
            Server().Key("BackSpace", true);
            Server().Key("BackSpace", false);
        }
        for (const char c : text) {
            const std::string keysym = c == '/' ? "slash" : std::string(1, c);
            Server().Key(keysym, true);
            Server().Key(keysym, false);
        }
    }

    std::optional<std::string> Read(const std::string& control) const {
        return m_bus.ReadAccessibleText(kApplication, control);
    }

    // Whether the control reads `expected` within the timeout.
    testing::AssertionResult Reads(const std::string& control, const std::string& expected,
                                   std::chrono::milliseconds timeout = kReadingTimeout) const {
        std::optional<std::string> seen;
        if (PollUntil(
                [&] {
                    seen = Read(control);
                    return seen == expected;
                },
                timeout, 100ms)) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure()
               << "\"" << control << "\" reads "
               << (seen ? "\"" + *seen + "\"" : std::string("nothing (not found)"))
               << ", expected \"" << expected << "\"";
    }

    // Types the text and waits until the box shows all of it.
    testing::AssertionResult TypeIntoBox(const std::string& text) {
        Type(text);
        return Reads(kDateBox, text);
    }

    XServer& Server() const { return m_clock.Server(); }
    RunningClock& Program() { return m_clock; }
    const AccessibilityBus& Bus() const { return m_bus; }
    XWindow Markers() const { return m_clock.Markers(); }
    XWindow Hands() const { return m_clock.Hands(); }
    XWindow Calculator() const { return m_calculator; }

    // The program's clock starts between its launch and the showing of its windows: these
    // are the earliest and the latest moments at which it has run for a while.
    Steady::time_point EarliestClock(std::chrono::milliseconds sinceStart) const {
        return m_clock.Launched() + sinceStart;
    }
    Steady::time_point LatestClock(std::chrono::milliseconds sinceStart) const {
        return m_clock.Shown() + sinceStart;
    }

    // Whether the program has logged a request to play that sound file within the timeout.
    bool Plays(const std::string& file, std::chrono::milliseconds timeout) const {
        return PollUntil(
            [&] {
                return m_clock.ErrorOutput().find("reloj.sound: play " + file) !=
                       std::string::npos;
            },
            timeout, 50ms);
    }

    // Whether the check box reads as checked or not within the timeout.
    testing::AssertionResult SwitchReads(bool expected) const {
        std::optional<bool> seen;
        if (PollUntil(
                [&] {
                    seen = m_bus.ReadAccessibleChecked(kApplication, kMuteSwitch);
                    return seen == expected;
                },
                5s, 100ms)) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure()
               << "the switch reads " << (seen ? (*seen ? "checked" : "unchecked") : "nothing")
               << ", expected " << (expected ? "checked" : "unchecked");
    }

    // Whether no window with the calculator's title is shown any more within the timeout.
    bool CalculatorGone(std::chrono::milliseconds timeout) const {
        return PollUntil([&] { return !Server().WaitForWindow(kCalculatorTitle, 0ms); }, timeout);
    }

  private:
    static ClockOptions OnBus(ClockOptions options, const AccessibilityBus& bus) {
        options.accessibilityBus = bus.SessionAddress();
        return options;
    }

    void AwaitClickGap() const {
        const auto due = m_lastClick + kClickGap;
        if (Steady::now() < due) {
            std::this_thread::sleep_until(due);
        }
    }

    // Declared first: the clock is started on the bus and stopped before the bus goes.
    AccessibilityBus m_bus;
    RunningClock m_clock;
    XWindow m_calculator = 0;
    Steady::time_point m_lastClick;
};

// A time of day on the day the ages are counted to.
std::string OnTheDay(const std::string& time) {
    return "2003-03-10 " + time;
}

TEST(Calculator, DoubleClickOnTheHandsOpensItCentred) {
    Clock clock({.startsAt = OnTheDay("10:15:30")});
    ASSERT_TRUE(clock.Started());
    EXPECT_FALSE(clock.Server().WaitForWindow(kCalculatorTitle, 0ms));
    ASSERT_TRUE(clock.OpenCalculator());

    const Rect place = clock.Server().Geometry(clock.Calculator());
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    EXPECT_EQ(width, 393);
    EXPECT_EQ(height, 47);
    // Centred: the margins on either side differ by at most the odd pixel.
    EXPECT_LE(std::abs(place.left - (kScreenWidth - place.right)), 1)
        << testing::PrintToString(place);
    EXPECT_LE(std::abs(place.top - (kScreenHeight - place.bottom)), 1)
        << testing::PrintToString(place);
    // Black where no control stands: under the date box, and left of the mute switch.
    for (const auto& [x, y] : {std::pair{4, 42}, std::pair{180, 42}}) {
        EXPECT_EQ(clock.Server().Pixel(place.left + x, place.top + y), 0x000000u)
            << "at (" << x << ", " << y << ") in the window";
    }
    // It opens with an empty box and no result yet.
    EXPECT_TRUE(clock.Reads(kDateBox, ""));
    EXPECT_TRUE(clock.Reads(kResult, ""));
    EXPECT_TRUE(clock.Program().Running());
}

// A pixel counts as light or dark when each of its channels is.
bool Light(unsigned long rgb) {
    return ((rgb >> 16) & 0xFF) >= 0xC0 && ((rgb >> 8) & 0xFF) >= 0xC0 && (rgb & 0xFF) >= 0xC0;
}
bool Dark(unsigned long rgb) {
    return ((rgb >> 16) & 0xFF) <= 0x40 && ((rgb >> 8) & 0xFF) <= 0x40 && (rgb & 0xFF) <= 0x40;
}

// The mute switch as a user sees it: a light box on the black window, a dark tick in it once
// checked, and the whole caption inside the window. Regression guard: the box was black on
// black, and the caption ran past the window's right edge ("... De Las Hora").
TEST(Calculator, TheMuteSwitchIsSeenWhole) {
    Clock clock({.startsAt = OnTheDay("10:15:30")});
    ASSERT_TRUE(clock.Started());
    ASSERT_TRUE(clock.OpenCalculator());
    const Rect window = clock.Server().Geometry(clock.Calculator());
    const Rect row{window.left + kSwitchLeft, window.top + kSwitchTop, window.right,
                   window.top + kSwitchTop + kSwitchHeight};
    const auto lightBox = [&](const ScreenArea& screen) {
        PixelSet light;
        for (int y = row.top; y < row.bottom; ++y) {
            for (int x = row.left; x < row.left + kSwitchBoxColumns; ++x) {
                if (Light(screen.At(x, y))) {
                    light.insert({x, y});
                }
            }
        }
        return light;
    };
    const auto darkInside = [&](const ScreenArea& screen, const Rect& box) {
        int dark = 0;
        for (int y = box.top + 2; y < box.bottom - 2; ++y) {
            for (int x = box.left + 2; x < box.right - 2; ++x) {
                dark += Dark(screen.At(x, y)) ? 1 : 0;
            }
        }
        return dark;
    };

    // A window just mapped shows what lay under it until it has painted itself.
    ScreenArea unchecked;
    PixelSet light;
    PollUntil(
        [&] {
            unchecked = clock.Server().Capture(row);
            light = unchecked.pixels.empty() ? PixelSet{} : lightBox(unchecked);
            return light.size() >= 50u;
        },
        2s);
    ASSERT_FALSE(unchecked.pixels.empty());
    const Rect box = Bounds(light);
    EXPECT_GE(light.size(), 50u) << "the unchecked box is not light";
    EXPECT_GE(box.right - box.left, 9) << testing::PrintToString(box);
    EXPECT_EQ(darkInside(unchecked, box), 0) << "a tick shows in the unchecked box";

    // The caption's letters: light pixels right of the box. The last of them stands clear of
    // the window's edge, so no letter is cut off there.
    int firstLetter = row.right, lastLetter = -1;
    for (int y = row.top; y < row.bottom; ++y) {
        for (int x = row.left + kSwitchBoxColumns; x < row.right; ++x) {
            if (Light(unchecked.At(x, y))) {
                firstLetter = std::min(firstLetter, x);
                lastLetter = std::max(lastLetter, x);
            }
        }
    }
    EXPECT_GE(lastLetter - firstLetter, 100) << "the caption is missing or cut short";
    EXPECT_LE(lastLetter, window.right - 3) << "the caption runs into the window's edge";

    clock.Click(row.left + kIntoSwitch, row.top + kIntoSwitch);
    ASSERT_TRUE(clock.SwitchReads(true));
    int dark = 0;
    PollUntil(
        [&] {
            dark = darkInside(clock.Server().Capture(row), box);
            return dark >= 4;
        },
        2s);
    EXPECT_GE(dark, 4) << "no dark tick in the checked box";
}

// A clock in the middle of the screen lies under the calculator, which opens centred: the
// calculator stays above the clock's windows while it is open, and the clock stays above every
// other window. Regression guards: the dots covered the calculator's result; and the hands,
// raised before the calculator in two requests, showed through it for a moment on a busy
// machine, so no order the X server passes through may have them above it.
TEST(Calculator, StaysAboveTheClockItOpensOver) {
    constexpr unsigned long kRed = 0xFF0000;
    Clock clock({.arguments = {"590|460|100|1|1|red"}, .startsAt = OnTheDay("10:15:30")});
    ASSERT_TRUE(clock.Started());
    ASSERT_TRUE(clock.OpenCalculator());
    XServer& server = clock.Server();
    const auto onTop = [&] {
        const auto order = server.StackingOrder();
        return order.size() >= 3 && order[order.size() - 1] == clock.Calculator() &&
               order[order.size() - 2] == clock.Hands() &&
               order[order.size() - 3] == clock.Markers();
    };
    const auto redUnder = [&] {
        const Rect place = server.Geometry(clock.Calculator());
        const ScreenArea screen = server.Capture(place);
        return std::count(screen.pixels.begin(), screen.pixels.end(), kRed);
    };
    const Rect calculator = server.Geometry(clock.Calculator());
    const Rect clockPlace = server.Geometry(clock.Markers());
    ASSERT_TRUE(calculator.left < clockPlace.right && clockPlace.left < calculator.right &&
                calculator.top < clockPlace.bottom && clockPlace.top < calculator.bottom)
        << "the calculator does not lie over the clock";

    // A window just mapped shows what lay under it until it has painted itself.
    EXPECT_TRUE(PollUntil([&] { return onTop() && redUnder() == 0; }, 2s))
        << "the calculator never showed above the clock";
    StackingRecorder stacking(server);
    const auto outOfOrder = [&](const std::vector<XWindow>& order) {
        const auto at = [&](XWindow window) {
            return std::find(order.begin(), order.end(), window);
        };
        return !(at(clock.Markers()) < at(clock.Hands()) &&
                 at(clock.Hands()) < at(clock.Calculator()));
    };
    const auto passedOutOfOrder = [&] {
        const auto wrong = stacking.FirstOrderWhere(outOfOrder);
        return wrong ? testing::PrintToString(*wrong) : std::string();
    };
    // Then through a few ticks, each of which keeps the clock on top.
    const auto until = Steady::now() + 2500ms;
    while (Steady::now() < until) {
        ASSERT_EQ(passedOutOfOrder(), "") << "markers " << clock.Markers() << " hands "
                                          << clock.Hands() << " calculator " << clock.Calculator();
        ASSERT_TRUE(onTop()) << "the calculator went under the clock: "
                             << testing::PrintToString(server.StackingOrder()) << " markers "
                             << clock.Markers() << " hands " << clock.Hands() << " calculator "
                             << clock.Calculator();
        ASSERT_EQ(redUnder(), 0) << "the clock shows through the calculator";
        std::this_thread::sleep_for(100ms);
    }

    // Another window over all three goes back under the clock, and the calculator stays above.
    const XWindow cover = server.Cover(Rect{400, 400, 900, 600}, 0x00FF00);
    EXPECT_TRUE(PollUntil(onTop, 3s)) << "the clock and the calculator did not come back on top";
    EXPECT_EQ(passedOutOfOrder(), "") << "markers " << clock.Markers() << " hands " << clock.Hands()
                                      << " calculator " << clock.Calculator();
    const auto order = server.StackingOrder();
    EXPECT_NE(std::find(order.begin(), order.end(), cover), order.end());
    EXPECT_EQ(redUnder(), 0);
}

struct TypedRow {
    const char* name;
    std::string typed;
    std::string caption;
};

TEST(Calculator, ShowsTheTimeLivedSinceTheTypedDate) {
    const TypedRow rows[] = {
        {"a birth date", "20/05/2000", kValidCaption},
        {"the 31st of February", "31/02/2001", kInvalidCaption},
        {"a birth date again, after an invalid one", "20/05/2000", kValidCaption},
    };
    Clock clock({.startsAt = OnTheDay("10:15:30")});
    ASSERT_TRUE(clock.Started());
    ASSERT_TRUE(clock.OpenCalculator());
    for (const TypedRow& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(clock.TypeIntoBox(row.typed));
        EXPECT_TRUE(clock.Reads(kResult, row.caption));
    }
}

TEST(Calculator, TextOfAnotherLengthLeavesTheResultAlone) {
    Clock clock({.startsAt = OnTheDay("10:15:30")});
    ASSERT_TRUE(clock.Started());
    ASSERT_TRUE(clock.OpenCalculator());
    ASSERT_TRUE(clock.TypeIntoBox("31/02/2001"));
    ASSERT_TRUE(clock.Reads(kResult, kInvalidCaption));

    // Nine characters, then eleven: for a few ticks the last result stays.
    for (const char* typed : {"20/05/200", "20/05/20000"}) {
        SCOPED_TRACE(typed);
        ASSERT_TRUE(clock.TypeIntoBox(typed));
        std::optional<std::string> seen;
        EXPECT_FALSE(PollUntil(
            [&] {
                seen = clock.Read(kResult);
                return seen != kInvalidCaption;
            },
            2500ms, 100ms))
            << "the result changed to \"" << seen.value_or("(not found)") << "\"";
    }
    // The calculator was ticking all along: ten characters are read again.
    ASSERT_TRUE(clock.TypeIntoBox("20/05/2000"));
    EXPECT_TRUE(clock.Reads(kResult, kValidCaption));
}

std::chrono::milliseconds Until(Steady::time_point when) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(when - Steady::now());
}

// The loudest sample of a recording, 0 to 32768.
int Peak(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (const int16_t sample : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return peak;
}

// Samples of a null sink's recording: nothing played stays at zero, a chime peaks far above.
constexpr int kSilent = 16;
constexpr int kAudible = 1000;

TEST(Calculator, TheMuteSwitchSilencesTheNextChime) {
    // Two clocks side by side, both with the calculator open, one switched to mute: the
    // other, left alone, shows that the noon chime is asked for and heard when not muted.
    // Each plays into a null sink of its own, recorded from before noon to after it.
    SoundServer mutedSink;
    SoundServer controlSink;
    Clock muted({.startsAt = OnTheDay("11:59:35"),
                 .soundServer = mutedSink.Address(),
                 .playLog = PlayLog::Plain});
    Clock control({.startsAt = OnTheDay("11:59:35"),
                   .soundServer = controlSink.Address(),
                   .playLog = PlayLog::Plain});
    const auto recordingFrom = Steady::now();
    Recording mutedSound(mutedSink);
    Recording controlSound(controlSink);
    ASSERT_TRUE(muted.Started());
    ASSERT_TRUE(control.Started());
    ASSERT_TRUE(muted.OpenCalculator());
    ASSERT_TRUE(control.OpenCalculator());

    const Rect place = muted.Server().Geometry(muted.Calculator());
    muted.Click(place.left + kSwitchLeft + kIntoSwitch, place.top + kSwitchTop + kIntoSwitch);
    ASSERT_TRUE(muted.SwitchReads(true));
    EXPECT_TRUE(control.SwitchReads(false));
    // The switch must be on before noon for the test to say anything.
    ASSERT_LT(Steady::now(), muted.EarliestClock(24s))
        << "the machine is too slow: the switch went on too close to noon";
    ASSERT_FALSE(muted.Plays("12pm.wav", 0ms)) << muted.Program().ErrorOutput();

    EXPECT_TRUE(control.Plays("12pm.wav", Until(control.LatestClock(40s))))
        << control.Program().ErrorOutput();
    // Two seconds past noon on the muted clock, with its noon tick long gone.
    EXPECT_FALSE(muted.Plays("12pm.wav", Until(muted.LatestClock(27s))))
        << muted.Program().ErrorOutput();
    EXPECT_TRUE(muted.Program().Running());

    // What the sinks heard: the chime from the control clock, nothing from the muted one
    // all the way through noon.
    const double listened = SecondsSince(recordingFrom);
    EXPECT_GT(mutedSound.Seconds(), listened - 3) << "the recording stopped early";
    EXPECT_LE(Peak(mutedSound.Stop()), kSilent);
    // The control's chime lasts under three seconds from its request.
    std::this_thread::sleep_for(3s);
    const double recorded = controlSound.Seconds();
    EXPECT_GT(Peak(controlSound.Stop()), kAudible)
        << "the control clock's chime was not heard in " << recorded << " s of recording";
}

// A clock started with --mute is a clock whose switch was ticked: the noon chime passes
// unheard, the calculator opened after it shows the switch on, and switching it off lets the
// next chime, at half past twelve, sound.
TEST(Calculator, AClockStartedMutedShowsTheSwitchOnAndUntickingItLetsTheNextChimeSound) {
    SoundServer sink;
    const SteppedTime time(OnTheDay("11:59:58"));
    Recording overNoon(sink);
    Clock muted({.arguments = {"--mute"},
                 .steppedTime = &time,
                 .soundServer = sink.Address(),
                 .playLog = PlayLog::Plain});
    ASSERT_TRUE(muted.Started());
    // Past noon by more than a late chime's grace, on the program's clock.
    std::this_thread::sleep_until(muted.LatestClock(8s));
    EXPECT_FALSE(muted.Plays("12pm.wav", 0ms)) << muted.Program().ErrorOutput();

    ASSERT_TRUE(muted.OpenCalculator());
    EXPECT_TRUE(muted.SwitchReads(true));
    const Rect place = muted.Server().Geometry(muted.Calculator());
    muted.Click(place.left + kSwitchLeft + kIntoSwitch, place.top + kSwitchTop + kIntoSwitch);
    ASSERT_TRUE(muted.SwitchReads(false));
    EXPECT_LE(Peak(overNoon.Stop()), kSilent);

    Recording halfPast(sink);
    time.Set(OnTheDay("12:29:58"));
    EXPECT_TRUE(muted.Plays("media.wav", 6s)) << muted.Program().ErrorOutput();
    // The tone lasts under three seconds from its request.
    std::this_thread::sleep_for(3s);
    EXPECT_GT(Peak(halfPast.Stop()), kAudible);
    EXPECT_FALSE(muted.Plays("12pm.wav", 0ms)) << muted.Program().ErrorOutput();
}

struct CloseRow {
    const char* name;
    std::function<void(Clock&)> close;
};

TEST(Calculator, ClosingItLeavesTheClockRunning) {
    const CloseRow rows[] = {
        {"a single click on the hands",
         [](Clock& clock) { clock.Click(kDefaultHandsCentreX, kDefaultHandsCentreY); }},
        {"the close button",
         [](Clock& clock) { SendDeleteWindow(clock.Server(), clock.Calculator()); }},
    };
    for (const CloseRow& row : rows) {
        SCOPED_TRACE(row.name);
        Clock clock({.startsAt = OnTheDay("10:29:40"), .playLog = PlayLog::Plain});
        ASSERT_TRUE(clock.Started());
        ASSERT_TRUE(clock.OpenCalculator());
        ASSERT_TRUE(clock.TypeIntoBox("20/05/2000"));
        ASSERT_TRUE(clock.Reads(kResult, kValidCaption));

        ASSERT_FALSE(clock.Plays("media.wav", 0ms))
            << "the machine is too slow: the half hour came before the calculator closed";
        row.close(clock);
        EXPECT_TRUE(clock.CalculatorGone(5s));
        EXPECT_TRUE(clock.Program().Running()) << clock.Program().ErrorOutput();
        EXPECT_TRUE(clock.Server().Viewable(clock.Hands()));
        // The clock goes on ticking: the half-hour chime is asked for at 10:30.
        EXPECT_TRUE(clock.Plays("media.wav", Until(clock.LatestClock(30s))))
            << clock.Program().ErrorOutput();
        EXPECT_TRUE(clock.Program().Running()) << clock.Program().ErrorOutput();
        EXPECT_TRUE(clock.Server().Viewable(clock.Hands()));

        // Opened again, the calculator starts afresh: the typed date went with the window.
        ASSERT_TRUE(clock.OpenCalculator());
        EXPECT_TRUE(clock.Reads(kDateBox, ""));
        EXPECT_TRUE(clock.Reads(kResult, ""));
    }
}

} // namespace
} // namespace reloj::e2e
