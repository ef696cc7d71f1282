// The chimes of the real program, heard: a private sound server records what the clock plays,
// and every sound file is a pure tone of its own, so the recording tells which file sounded and
// when. The program's log of its play requests says what it asked for, the recording what came
// out. The clock's time is set with libfaketime.
#include "sound_harness.h"

#include <csignal>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace reloj::e2e {
namespace {

using Steady = std::chrono::steady_clock;

std::vector<std::string> Files(const std::vector<Heard>& tones) {
    std::vector<std::string> files;
    for (const Heard& heard : tones) {
        files.push_back(heard.file);
    }
    return files;
}

// The program from the tone prefix on the test's X server, playing into the sound server given,
// with every play request logged at the time its clock tells.
ClockOptions FromTones(const TonePrefix& prefix, XServer& server, const std::string& soundServer) {
    return {.binary = prefix.Binary(),
            .server = &server,
            .soundServer = soundServer,
            .playLog = PlayLog::Timed};
}

// Whether the hands window's shape covers the centre of the hands, where a test presses.
bool CentreOnTheHands(const XServer& server) {
    const auto hands = server.WaitForWindow(kHandsTitle);
    if (!hands) {
        return false;
    }
    const Rect place = server.Geometry(*hands);
    return Pixels(server.Shape(*hands))
               .count({kDefaultHandsCentreX - place.left, kDefaultHandsCentreY - place.top}) == 1;
}

// Holds the left button on the centre of the hands until the closing message shows; the
// button is let go again before returning. Returns the box, if it came within the timeout.
std::optional<XWindow> HoldToClose(const XServer& server) {
    server.MovePointer(kDefaultHandsCentreX, kDefaultHandsCentreY);
    server.Button(kLeftButton, true);
    // Five ticks with the button down close the clock: four to five seconds.
    const auto box = server.WaitForWindow(kClosingTitle, 8s);
    server.Button(kLeftButton, false);
    return box;
}

struct ChimeRow {
    const char* name;
    std::string startsAt; // two seconds before the chime, on 2026-12-08
    std::string file;
    std::string due; // the chime's second
};

// Starts the clock two seconds before a chime and checks what it asks for and what is heard.
void ExpectOneChime(const ChimeRow& row, const TonePrefix& prefix, const SoundServer& sound,
                    XServer& server) {
    Recording recording(sound);
    const double launchedAt = recording.Seconds();
    auto options = FromTones(prefix, server, sound.Address());
    options.startsAt = "2026-12-08 " + row.startsAt;
    RunningClock clock(options);
    const auto requested = [&] { return !Played(clock).empty(); };
    EXPECT_TRUE(PollUntil(requested, 3500ms)) << "nothing played 3.5 s after the start\n"
                                              << clock.ErrorOutput();
    // Long enough for the tone to end and for a second request, if any, to show.
    std::this_thread::sleep_until(clock.Launched() + 5s);
    EXPECT_TRUE(clock.Running()) << clock.ErrorOutput();
    clock.Stop(SIGTERM, 2s);
    const Hearing hearing = Listen(recording.Stop());

    const auto requests = Requested(clock);
    EXPECT_EQ(FilesOf(requests), std::vector<std::string>{row.file}) << clock.ErrorOutput();
    if (!requests.empty()) {
        EXPECT_EQ(requests.front().at.substr(0, 19), row.due) << "asked for at the wrong second";
    }
    ASSERT_EQ(Files(hearing.tones), std::vector<std::string>{row.file})
        << testing::PrintToString(hearing.tones) << "\n"
        << sound.Log();
    const Heard& heard = hearing.tones.front();
    // The chime's second begins two seconds after the start; the sound path adds a little.
    EXPECT_GT(heard.start - launchedAt, 1.8) << testing::PrintToString(heard);
    EXPECT_LT(heard.start - launchedAt, 3.5) << testing::PrintToString(heard);
    EXPECT_NEAR(heard.seconds, 0.6, 0.15) << testing::PrintToString(heard);
    EXPECT_LT(hearing.unexplained, 0.1);
}

TEST(Chimes, TheChimeOfTheMomentSoundsOnceWhenItsSecondBegins) {
    const ChimeRow rows[] = {
        {"noon", "11:59:58", "12pm.wav", "2026-12-08 12:00:00"},
        {"one in the afternoon", "12:59:58", "13pm.wav", "2026-12-08 13:00:00"},
        {"midnight", "23:59:58", "24am.wav", "2026-12-09 00:00:00"},
        {"half past nine", "09:29:58", "media.wav", "2026-12-08 09:30:00"},
    };
    const TonePrefix prefix;
    const SoundServer sound;
    XServer server(96);
    for (const ChimeRow& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectOneChime(row, prefix, sound, server);
    }
}

// What the sound server lists of the streams it plays now.
std::string SinkInputs(const SoundServer& sound) {
    auto environment = InheritedEnvironment();
    environment["PULSE_SERVER"] = sound.Address();
    Process pactl(
        {.command = {"/usr/bin/pactl", "list", "sink-inputs"}, .environment = environment});
    pactl.WaitForExit(5s);
    return pactl.Output();
}

// While a chime plays, the sound server knows whose it is and what it is: a desktop's mixer
// lists it under the clock, with its icon, and applies the event volume to it.
TEST(Chimes, TheChimeNamesItselfToTheSoundServer) {
    const TonePrefix prefix;
    const SoundServer sound;
    XServer server(96);
    auto options = FromTones(prefix, server, sound.Address());
    options.startsAt = "2026-12-08 11:59:58";
    RunningClock clock(options);
    ASSERT_TRUE(clock.Started()) << clock.ErrorOutput();
    std::string listed;
    // The tone and the server's buffer last about a second from the request.
    EXPECT_TRUE(PollUntil(
        [&] {
            listed = SinkInputs(sound);
            return listed.find("media.name") != std::string::npos;
        },
        6s, 20ms))
        << "no stream seen\n"
        << clock.ErrorOutput();
    for (const std::string property : {
             R"(application.name = "reloj")",
             R"(application.id = ")" RELOJ_APP_ID R"(")",
             R"(application.icon_name = "reloj")",
             R"(media.role = "event")",
             R"(media.name = "Campanada de las 12")",
         }) {
        EXPECT_NE(listed.find(property), std::string::npos) << property << " in\n" << listed;
    }
    EXPECT_EQ(Played(clock), std::vector<std::string>{"12pm.wav"});
}

struct FormatRow {
    const char* name;
    SampleFormat format;
};

// Each format the clock takes reaches the sound server as the file declares it: a sample
// format or channel order mistaken on the way would not sound as the tone.
TEST(Chimes, EveryFormatTakenIsHeard) {
    const FormatRow rows[] = {
        {"8-bit", {.bits = 8}},
        {"24-bit stereo at 48000 Hz", {.channels = 2, .bits = 24, .rate = 48000}},
        {"32-bit", {.bits = 32}},
        {"32-bit float in six channels", {.channels = 6, .bits = 32, .floating = true}},
    };
    const TonePrefix prefix;
    const SoundServer sound;
    XServer server(96);
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(row.name);
        prefix.Replace("12pm.wav", ToneFile("12pm.wav", row.format));
        ExpectOneChime({"noon", "11:59:58", "12pm.wav", "2026-12-08 12:00:00"}, prefix, sound,
                       server);
    }
}

struct RefusedSoundRow {
    const char* name;
    std::string file;   // put in place of 12pm.wav
    std::string reason; // what the sound log says is wrong with it
};

// Sound files can be replaced by anyone: one the sound device cannot take safely is refused
// before it reaches the device, the noon chime stays silent, and the clock goes on.
TEST(Chimes, ASoundFileTheDeviceCannotTakeIsRefusedAndTheClockGoesOn) {
    // Full-scale samples, so that anything that did reach the sound server would be heard.
    const std::string loud(4096, '\x7F');
    const std::string rateReason = "a sample rate outside 8000 to 192000 Hz";
    const RefusedSoundRow rows[] = {
        // Regression: the sound device's playback timer divided by zero and the program died.
        {"1 Hz", WaveFile(1, 1, 16, loud), rateReason},
        {"32 Hz", WaveFile(1, 32, 16, loud), rateReason},
        // Regression: taken, then silently never played.
        {"65535 channels", WaveFile(65535, 22050, 8, loud + loud),
         "a channel count outside 1 to 8"},
    };
    const TonePrefix prefix;
    const SoundServer sound;
    XServer server(96);
    for (const RefusedSoundRow& row : rows) {
        SCOPED_TRACE(row.name);
        prefix.Replace("12pm.wav", row.file);
        Recording recording(sound);
        auto options = FromTones(prefix, server, sound.Address());
        options.startsAt = "2026-12-08 11:59:58";
        RunningClock clock(options);
        EXPECT_TRUE(PollUntil([&] { return !Played(clock).empty(); }, 3500ms))
            << clock.ErrorOutput();
        // The chime was asked for at noon; two seconds later the clock still runs.
        std::this_thread::sleep_until(clock.Launched() + 5s);
        ASSERT_TRUE(clock.Running()) << clock.ErrorOutput();
        ::kill(clock.Pid(), SIGTERM);
        EXPECT_EQ(clock.WaitForExit(2s), 0) << clock.ErrorOutput();

        EXPECT_EQ(Played(clock), std::vector<std::string>{"12pm.wav"}) << clock.ErrorOutput();
        const std::string log = clock.ErrorOutput();
        EXPECT_NE(log.find("reloj.sound: cannot play "), std::string::npos) << log;
        EXPECT_NE(log.find("12pm.wav: " + row.reason), std::string::npos) << log;
        const Hearing hearing = Listen(recording.Stop());
        EXPECT_TRUE(hearing.tones.empty()) << testing::PrintToString(hearing.tones);
    }
}

TEST(Chimes, ClosingSoundPlaysWhileTheClosingMessageShows) {
    const TonePrefix prefix;
    const SoundServer sound;
    XServer server(96);
    Recording recording(sound);
    // Well away from the hour and the half hour, so that only the closing sound can play.
    auto options = FromTones(prefix, server, sound.Address());
    options.startsAt = "2026-12-08 10:10:10";
    RunningClock clock(options);
    ASSERT_TRUE(server.WaitForWindow(kMarkerTitle)) << clock.ErrorOutput();
    ASSERT_TRUE(CentreOnTheHands(server));

    const auto box = HoldToClose(server);
    ASSERT_TRUE(box) << clock.ErrorOutput();
    const double boxAt = recording.Seconds();
    EXPECT_TRUE(PollUntil([&] { return !Played(clock).empty(); }, 2s));
    // The box waits for an answer; the sound has time to play out in full under it.
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(server.Viewable(*box));
    const Hearing hearing = Listen(recording.Stop());

    EXPECT_EQ(Played(clock), std::vector<std::string>{"finreloj.wav"}) << clock.ErrorOutput();
    ASSERT_EQ(Files(hearing.tones), std::vector<std::string>{"finreloj.wav"})
        << testing::PrintToString(hearing.tones);
    EXPECT_NEAR(hearing.tones.front().start, boxAt, 1.0)
        << "the closing sound and the box came apart";
    EXPECT_NEAR(hearing.tones.front().seconds, 0.6, 0.15);
    EXPECT_LT(hearing.unexplained, 0.1);

    EXPECT_EQ(clock.DismissClosingBox(*box), 0) << clock.ErrorOutput();
}

TEST(Chimes, WithoutASoundServerTheClockGoesOn) {
    const TonePrefix prefix;
    const TempDir nowhere;
    XServer server(96);
    auto options = FromTones(prefix, server, "unix:" + nowhere.Path() + "/no-server.sock");
    options.startsAt = "2026-12-08 11:59:58";
    RunningClock clock(options);
    const auto hands = server.WaitForWindow(kHandsTitle);
    ASSERT_TRUE(hands) << clock.ErrorOutput();
    const auto before = server.Shape(*hands);

    // The hands turn to 12:00 on the same tick that asks for the noon chime: the tick went on
    // past the failed play.
    EXPECT_TRUE(PollUntil([&] { return !Played(clock).empty(); }, 3500ms)) << clock.ErrorOutput();
    std::this_thread::sleep_until(clock.Launched() + 4s);
    EXPECT_EQ(Played(clock), std::vector<std::string>{"12pm.wav"}) << clock.ErrorOutput();
    ASSERT_TRUE(clock.Running()) << clock.ErrorOutput();
    ASSERT_TRUE(server.WaitForWindow(kHandsTitle, 0ms));
    EXPECT_NE(server.Shape(*hands), before) << "the hands did not move on to 12:00";

    ASSERT_TRUE(CentreOnTheHands(server));
    const auto box = HoldToClose(server);
    ASSERT_TRUE(box) << clock.ErrorOutput();
    EXPECT_TRUE(PollUntil([&] { return Played(clock).size() == 2; }, 2s));
    EXPECT_EQ(Played(clock), (std::vector<std::string>{"12pm.wav", "finreloj.wav"}));
    EXPECT_EQ(clock.DismissClosingBox(*box), 0) << clock.ErrorOutput();
}

struct RestartRow {
    const char* name;
    int signal;
    std::chrono::milliseconds afterNoon; // from the noon chime's request to the server's end
    bool chimeWhileDown;                 // the half hour falls while no server runs
};

// Sound servers restart: after a crash, at a log-in, after an update. The clock holds no
// connection between chimes, so the next chime finds the server as it is then. The clock's
// time is stepped from just after noon to just before the next chime, as a user setting it
// would.
TEST(Chimes, TheNextChimeIsHeardAfterTheSoundServerRestarts) {
    const RestartRow rows[] = {
        {"ended while the clock is idle", SIGTERM, 1500ms, false},
        {"killed while the clock is idle", SIGKILL, 1500ms, false},
        // The noon tone lasts 0.6 s.
        {"killed during a chime", SIGKILL, 200ms, false},
        // Regression: after a play that found no server, no later play was ever heard.
        {"killed, and a chime falls before it is back", SIGKILL, 1500ms, true},
    };
    const TonePrefix prefix;
    XServer server(96);
    for (const RestartRow& row : rows) {
        SCOPED_TRACE(row.name);
        SoundServer sound;
        const SteppedTime time("2026-12-08 11:59:58");
        auto options = FromTones(prefix, server, sound.Address());
        options.steppedTime = &time;
        RunningClock clock(options);
        ASSERT_TRUE(PollUntil([&] { return !Played(clock).empty(); }, 3500ms))
            << clock.ErrorOutput();
        std::this_thread::sleep_for(row.afterNoon);
        sound.Kill(row.signal);
        std::vector<std::string> expected{"12pm.wav"};
        if (row.chimeWhileDown) {
            time.Set("2026-12-08 12:29:58");
            expected.push_back("media.wav");
            EXPECT_TRUE(PollUntil([&] { return Played(clock) == expected; }, 3500ms))
                << clock.ErrorOutput();
        }
        sound.Start();
        Recording recording(sound);
        time.Set(row.chimeWhileDown ? "2026-12-08 12:59:58" : "2026-12-08 12:29:58");
        const std::string next = row.chimeWhileDown ? "13pm.wav" : "media.wav";
        expected.push_back(next);
        EXPECT_TRUE(PollUntil([&] { return Played(clock) == expected; }, 3500ms))
            << clock.ErrorOutput();
        // The tone, and the server's buffer, played out.
        std::this_thread::sleep_for(1500ms);
        ASSERT_TRUE(clock.Running()) << clock.ErrorOutput();
        clock.Stop(SIGTERM, 2s);

        EXPECT_EQ(Played(clock), expected);
        const Hearing hearing = Listen(recording.Stop());
        EXPECT_EQ(Files(hearing.tones), std::vector<std::string>{next})
            << testing::PrintToString(hearing.tones) << "\n"
            << clock.ErrorOutput() << sound.Log();
    }
}

struct SteppedChimeRow {
    const char* name;
    // What happens to the clock around noon, from a start at 11:59:58.
    std::function<void(RunningClock&, const SteppedTime&)> around;
    std::vector<std::string> heardAtNoon;
};

// Machines stall, and clocks are stepped by NTP or by hand. Each hh:00:00 and hh:30:00 chimes
// once: a tick up to five seconds late still plays the chime it missed, a step back over a
// chime does not play it again, and a longer step forward skips it. The clock chimes on
// afterwards.
TEST(Chimes, StalledOrSteppedClocksChimeOnce) {
    const auto noonPlayed = [](RunningClock& clock) {
        return PollUntil([&] { return !Played(clock).empty(); }, 3500ms);
    };
    const SteppedChimeRow rows[] = {
        {"stalled for two seconds over the hour",
         [](RunningClock& clock, const SteppedTime&) {
             std::this_thread::sleep_for(1500ms);
             kill(clock.Pid(), SIGSTOP);
             std::this_thread::sleep_for(2s);
             kill(clock.Pid(), SIGCONT);
         },
         {"12pm.wav"}},
        {"stepped back four seconds after the chime",
         [&](RunningClock& clock, const SteppedTime& time) {
             ASSERT_TRUE(noonPlayed(clock)) << clock.ErrorOutput();
             time.Set("2026-12-08 11:59:57");
             std::this_thread::sleep_for(5s);
         },
         {"12pm.wav"}},
        {"stepped forward ten seconds over the hour",
         [](RunningClock&, const SteppedTime& time) {
             time.Set("2026-12-08 12:00:08");
             std::this_thread::sleep_for(3s);
         },
         {}},
    };
    const TonePrefix prefix;
    XServer server(96);
    const SoundServer sound;
    for (const SteppedChimeRow& row : rows) {
        SCOPED_TRACE(row.name);
        const SteppedTime time("2026-12-08 11:59:58");
        auto options = FromTones(prefix, server, sound.Address());
        options.steppedTime = &time;
        RunningClock clock(options);
        ASSERT_TRUE(clock.Started()) << clock.ErrorOutput();
        row.around(clock, time);
        std::this_thread::sleep_for(1s);
        EXPECT_EQ(Played(clock), row.heardAtNoon) << clock.ErrorOutput();
        std::vector<std::string> expected = row.heardAtNoon;
        expected.push_back("media.wav");
        time.Set("2026-12-08 12:29:58");
        EXPECT_TRUE(PollUntil([&] { return Played(clock) == expected; }, 3500ms))
            << testing::PrintToString(Played(clock)) << clock.ErrorOutput();
    }
}

// A clock started before the sound server (a session that brings its sound up late) is
// silent until the server is there, and then heard.
TEST(Chimes, TheNextChimeIsHeardFromASoundServerStartedAfterTheClock) {
    const TonePrefix prefix;
    XServer server(96);
    SoundServer sound(SoundServer::When::Later);
    const SteppedTime time("2026-12-08 11:59:58");
    auto options = FromTones(prefix, server, sound.Address());
    options.steppedTime = &time;
    RunningClock clock(options);
    ASSERT_TRUE(PollUntil([&] { return !Played(clock).empty(); }, 3500ms)) << clock.ErrorOutput();
    EXPECT_TRUE(PollUntil(
        [&] { return clock.ErrorOutput().find("no sound server for 12pm.wav") != std::string::npos; },
        2s))
        << clock.ErrorOutput();

    sound.Start();
    Recording recording(sound);
    time.Set("2026-12-08 12:29:58");
    EXPECT_TRUE(PollUntil([&] { return Played(clock).size() == 2; }, 3500ms))
        << clock.ErrorOutput();
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(clock.Running()) << clock.ErrorOutput();
    clock.Stop(SIGTERM, 2s);

    const Hearing hearing = Listen(recording.Stop());
    EXPECT_EQ(Files(hearing.tones), std::vector<std::string>{"media.wav"})
        << testing::PrintToString(hearing.tones) << "\n"
        << clock.ErrorOutput() << sound.Log();
}

// The chime each half hour of a day calls for, from midnight to the next midnight.
std::vector<std::string> ChimesOfADay() {
    const std::vector<std::string> hours{"24am.wav", "1am.wav",  "2am.wav",  "3am.wav",  "4am.wav",
                                         "5am.wav",  "6am.wav",  "7am.wav",  "8am.wav",  "9am.wav",
                                         "10am.wav", "11am.wav", "12pm.wav", "13pm.wav", "14pm.wav",
                                         "15pm.wav", "16pm.wav", "17pm.wav", "18pm.wav", "19pm.wav",
                                         "20pm.wav", "21pm.wav", "22pm.wav", "23pm.wav"};
    std::vector<std::string> chimes;
    for (const std::string& hour : hours) {
        chimes.push_back(hour);
        chimes.push_back("media.wav");
    }
    chimes.push_back("24am.wav");
    return chimes;
}

// The minute each chime of ChimesOfADay is due in, as the log's time stamps write it.
std::vector<std::string> MinutesOfADay() {
    std::vector<std::string> minutes;
    char text[32];
    for (int half = 0; half < 48; ++half) {
        std::snprintf(text, sizeof text, "2026-12-09 %02d:%02d", half / 2, half % 2 * 30);
        minutes.push_back(text);
    }
    minutes.push_back("2026-12-10 00:00");
    return minutes;
}

// Where two lists part, for a failure message that the eye can find in 49 entries.
std::string FirstDifference(const std::vector<std::string>& actual,
                            const std::vector<std::string>& expected) {
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) {
        ++i;
    }
    if (i == actual.size() && i == expected.size()) {
        return "";
    }
    const auto at = [i](const std::vector<std::string>& list) {
        return i < list.size() ? list[i] : std::string("(nothing)");
    };
    return "entry " + std::to_string(i) + " is " + at(actual) + " where " + at(expected) +
           " was due\n";
}

// A whole day at 300 times the real speed: every chime requested once, in its own minute. At
// that speed a faked second lasts 3.3 ms, so the program runs at a real-time priority, or any
// hiccup of a busy machine would swallow whole seconds, chimes among them. At 600 times a
// virtual machine's pauses of 2 ms still swallowed a chime now and then. The day starts ten
// faked minutes before midnight (two real seconds) to leave time for the program to start.
// There is no sound server: the sound library's own timers would run 600 times as fast too,
// time out, and keep the program busy for seconds after each chime; what is heard is the
// business of the tests above, at the real speed.
TEST(ChimesDay, EveryChimeOfADayIsRequestedOnceAtSpeed) {
    constexpr int kRate = 300;
    const TonePrefix prefix;
    const TempDir nowhere;
    XServer server(96);
    auto options = FromTones(prefix, server, "unix:" + nowhere.Path() + "/no-server.sock");
    options.startsAt = "2026-12-08 23:50:00";
    options.rate = kRate;
    options.realTime = true;
    RunningClock clock(options);
    if (!clock.RealTime()) {
        GTEST_SKIP() << "a real-time priority is not allowed here; at this speed the test "
                        "would only measure the machine's load";
    }
    ASSERT_TRUE(server.WaitForWindow(kHandsTitle)) << clock.ErrorOutput();
    // Ten faked minutes last two real seconds.
    ASSERT_LT(SecondsSince(clock.Launched()), 1.8) << "the program started too late to hear "
                                                      "the first midnight";

    // From 23:50:00 to 00:00:10 the day after next.
    const auto day = std::chrono::duration<double>((24 * 3600 + 610) / double(kRate));
    const auto end = clock.Launched() + std::chrono::duration_cast<Steady::duration>(day);
    const auto expected = ChimesOfADay();
    PollUntil([&] { return Played(clock).size() > expected.size() || !clock.Running(); },
              std::chrono::duration_cast<std::chrono::milliseconds>(end - Steady::now()), 1s);
    EXPECT_TRUE(clock.Running());
    clock.Stop(SIGTERM, 2s);

    const auto requests = Requested(clock);
    const auto files = FilesOf(requests);
    EXPECT_EQ(files, expected) << FirstDifference(files, expected) << clock.ErrorOutput();
    std::vector<std::string> minutes;
    for (const Request& request : requests) {
        minutes.push_back(request.at.substr(0, 16));
    }
    EXPECT_EQ(minutes, MinutesOfADay()) << FirstDifference(minutes, MinutesOfADay());
}

} // namespace
} // namespace reloj::e2e
