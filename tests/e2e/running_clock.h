// The real reloj as the end-to-end tests start it: the one place that puts together the
// program's environment (its display, its own runtime directory, a faked clock, the sound server
// it plays into, its play log, an accessibility bus) and starts the binary, whichever binary the
// test names: the build tree's, an installed one or one unpacked from the package. It waits for
// the clock's windows when asked and tells where they stand. The X server, the sound server and
// the accessibility bus themselves are x_harness.h's, sound_harness.h's and a11y_reader.h's;
// running, waiting for and stopping the child is process.h's.
#pragma once

#include "x_harness.h"

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace reloj::e2e {

// The program this build tree made.
std::string BuiltProgram();

// A clock for the program that the test can step, as an NTP step or a user setting the time
// would: the program's clock runs on from the last date and time Set (in UTC). Timers run in
// real time whatever the steps.
class SteppedTime {
  public:
    explicit SteppedTime(const std::string& dateAndTime);
    void Set(const std::string& dateAndTime) const;
    // The file the program's clock reads its time from.
    const std::string& File() const { return m_file; }

  private:
    TempDir m_dir;
    std::string m_file;
};

// What the program logs of its play requests on its standard error.
enum class PlayLog {
    None,
    // "reloj.sound: play FILE" lines among the rest.
    Plain,
    // Each line headed by the date and time the program's clock tells when it is written
    // ("YYYY-MM-DD HH:MM:SS.zzz"), as sound_harness.h's Requests reads them.
    Timed,
};

// How a clock is started. Every field has a default: a clock from the build tree, at the real
// time, alone on a fresh 96 dpi X server of its own, with no sound server.
struct ClockOptions {
    // The program to run; empty for the one in the build tree.
    std::string binary{};
    // What runs the program, when given: an absolute path and its arguments, such as a tracer,
    // before the program's own path.
    std::vector<std::string> wrapper{};
    // The program's command line: one argument or none, or several words as a shell passes
    // them.
    std::vector<std::string> arguments{};
    // The X server to show on; none for a fresh one of the clock's own, with the dpi and the
    // desktop colour (0xRRGGBB) given.
    XServer* server = nullptr;
    std::optional<int> dpi = 96;
    std::optional<unsigned long> desktop{};
    // When the program's clock starts ("YYYY-MM-DD HH:MM:SS", in UTC) and how many times as
    // fast as the real one it runs from there; empty for the real time.
    std::string startsAt{};
    int rate = 1;
    // A clock the test steps, in place of startsAt.
    const SteppedTime* steppedTime = nullptr;
    // The sound server to play into (PULSE_SERVER); empty for none named, so that the user's
    // own is not reached either.
    std::string soundServer{};
    PlayLog playLog = PlayLog::None;
    // The address of a private session bus whose accessibility bus the program is to publish
    // its widgets on; empty for none.
    std::string accessibilityBus{};
    // Anything else; these win over all of the above.
    std::map<std::string, std::string> environment{};
    // Run at a fixed real-time priority with quick wake-ups, for runs where the program must
    // keep up with a clock many times faster than the real one.
    bool realTime = false;
};

// The real program, started when the object is made and stopped, if it still runs, when the
// object goes. Its environment is the test's own without what would tie it to the user's
// session, plus what the options ask for.
class RunningClock {
  public:
    explicit RunningClock(const ClockOptions& options = {});
    RunningClock(const RunningClock&) = delete;
    RunningClock& operator=(const RunningClock&) = delete;

    // Waits for both windows, the dots and the hands, to be shown.
    testing::AssertionResult Started(std::chrono::milliseconds timeout = 10s);

    XServer& Server() const { return *m_server; }
    // The windows Started found.
    XWindow Markers() const { return m_markers; }
    XWindow Hands() const { return m_hands; }
    Rect MarkersPlace() const { return m_server->Geometry(m_markers); }
    Rect HandsPlace() const { return m_server->Geometry(m_hands); }
    PixelSet HandsShape() const { return Pixels(m_server->Shape(m_hands)); }

    // Answers the closing box with Return until the program ends, giving the box the keyboard
    // focus each time, as nothing else would without a window manager; the exit status, if
    // the program ended within five seconds.
    std::optional<int> DismissClosingBox(XWindow box);

    // Just before the program started, and so before its clock began at the time given.
    std::chrono::steady_clock::time_point Launched() const { return m_launched; }
    // When Started saw both windows: the program's clock had begun by then.
    std::chrono::steady_clock::time_point Shown() const { return m_shown; }

    // As for any Process.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
        return m_process->WaitForExit(timeout);
    }
    bool Running() { return m_process->Running(); }
    bool Stop(int signal = SIGTERM, std::chrono::milliseconds timeout = 2s) {
        return m_process->Stop(signal, timeout);
    }
    std::string Output() const { return m_process->Output(); }
    std::string ErrorOutput() const { return m_process->ErrorOutput(); }
    pid_t Pid() const { return m_process->Pid(); }
    // Whether the real-time priority asked for was granted.
    bool RealTime() const { return m_process->RealTime(); }

  private:
    // Declared before the process, so that the program is stopped before its X server goes.
    std::optional<XServer> m_ownServer;
    XServer* m_server = nullptr;
    TempDir m_runtime;
    std::chrono::steady_clock::time_point m_launched;
    std::chrono::steady_clock::time_point m_shown;
    std::optional<Process> m_process;
    XWindow m_markers = 0;
    XWindow m_hands = 0;
};

} // namespace reloj::e2e
