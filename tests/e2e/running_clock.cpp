#include "running_clock.h"

#include <filesystem>
#include <fstream>

namespace reloj::e2e {

namespace {

// The library that sets the program's clock (FAKETIME) without touching the machine's.
constexpr const char* kFakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// Every play request logged; the timed form heads each line with the time the program's
// clock tells.
constexpr const char* kPlayLogRules = "reloj.sound=true";
constexpr const char* kTimedLogPattern =
    "%{time yyyy-MM-dd HH:mm:ss.zzz} %{if-category}%{category}: %{endif}%{message}";

void AddFakedTime(const ClockOptions& options, std::map<std::string, std::string>& env) {
    if (options.steppedTime != nullptr) {
        env["LD_PRELOAD"] = kFakeTimeLibrary;
        env["FAKETIME_TIMESTAMP_FILE"] = options.steppedTime->File();
        env["FAKETIME_NO_CACHE"] = "1";
        env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1";
        // A step of the faked clock is no jump of the machine's, which the kernel would
        // report: the program is told through the file's changes instead.
        env["RELOJ_TIME_SET_FILE"] = options.steppedTime->File();
        env["TZ"] = "UTC";
        return;
    }
    if (options.startsAt.empty()) {
        return;
    }
    const std::string faked = "@" + options.startsAt;
    env["TZ"] = "UTC";
    if (options.rate == 1) {
        env["LD_PRELOAD"] = kFakeTimeLibrary;
        env["FAKETIME"] = faked;
        return;
    }
    // The program's event loop waits for its timers with poll(), whose timeouts libfaketime
    // cuts to whole real milliseconds: at this speed it would spin instead of sleeping, and a
    // program that spins loses ticks to anything else the machine does.
    const std::string rate = std::to_string(options.rate);
    env["LD_PRELOAD"] = std::string(RELOJ_SCALED_POLL) + ":" + kFakeTimeLibrary;
    env["FAKETIME"] = faked + " x" + rate;
    env["SCALED_POLL_RATE"] = rate;
}

// The program finds the accessibility bus through the session bus. With the bus named directly
// in AT_SPI_BUS_ADDRESS, Qt 6.4 was seen to connect to it yet publish no objects at all, so an
// outer setting of it is blanked.
void AddAccessibilityBus(const std::string& sessionAddress,
                         std::map<std::string, std::string>& env) {
    env["DBUS_SESSION_BUS_ADDRESS"] = sessionAddress;
    env["AT_SPI_BUS_ADDRESS"] = "";
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1";
    env["QT_ACCESSIBILITY"] = "1";
}

std::map<std::string, std::string> ClockEnvironment(const ClockOptions& options,
                                                    const XServer& server,
                                                    const std::string& runtime) {
    auto env = InheritedEnvironment();
    // The user's own session must not leak in: no Wayland, no platform choice, no logging
    // rules, no sound server.
    for (const char* name :
         {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "QT_LOGGING_RULES", "PULSE_SERVER"}) {
        env.erase(name);
    }
    env["DISPLAY"] = server.DisplayName();
    env["XDG_RUNTIME_DIR"] = runtime;
    AddFakedTime(options, env);
    if (!options.soundServer.empty()) {
        env["PULSE_SERVER"] = options.soundServer;
    }
    if (options.playLog != PlayLog::None) {
        env["QT_LOGGING_RULES"] = kPlayLogRules;
    }
    if (options.playLog == PlayLog::Timed) {
        env["QT_MESSAGE_PATTERN"] = kTimedLogPattern;
    }
    if (!options.accessibilityBus.empty()) {
        AddAccessibilityBus(options.accessibilityBus, env);
    }
    for (const auto& [name, value] : options.environment) {
        env[name] = value;
    }
    return env;
}

std::vector<std::string> CommandLine(const ClockOptions& options) {
    std::vector<std::string> command = options.wrapper;
    command.push_back(options.binary.empty() ? BuiltProgram() : options.binary);
    command.insert(command.end(), options.arguments.begin(), options.arguments.end());
    return command;
}

} // namespace

std::string BuiltProgram() {
    return RELOJ_BINARY;
}

SteppedTime::SteppedTime(const std::string& dateAndTime) : m_file(m_dir.Path() + "/faketime") {
    Set(dateAndTime);
}

void SteppedTime::Set(const std::string& dateAndTime) const {
    // Written whole under another name and renamed, so that the program never reads half a line.
    const std::string next = m_file + ".next";
    std::ofstream(next) << "@" << dateAndTime << "\n";
    std::filesystem::rename(next, m_file);
}

RunningClock::RunningClock(const ClockOptions& options) : m_server(options.server) {
    if (m_server == nullptr) {
        m_ownServer.emplace(options.dpi);
        m_server = &*m_ownServer;
        if (options.desktop) {
            m_server->SetDesktopColour(*options.desktop);
        }
    }
    const auto environment = ClockEnvironment(options, *m_server, m_runtime.Path());
    m_launched = std::chrono::steady_clock::now();
    m_process.emplace(Process::Options{.command = CommandLine(options),
                                       .environment = environment,
                                       .realTime = options.realTime});
}

testing::AssertionResult RunningClock::Started(std::chrono::milliseconds timeout) {
    const auto markers = m_server->WaitForWindow(kMarkerTitle, timeout);
    const auto hands = m_server->WaitForWindow(kHandsTitle, timeout);
    if (!markers || !hands) {
        return testing::AssertionFailure()
               << "the clock's windows did not appear; the program wrote: " << ErrorOutput();
    }
    m_markers = *markers;
    m_hands = *hands;
    m_shown = std::chrono::steady_clock::now();
    return testing::AssertionSuccess();
}

std::optional<int> RunningClock::DismissClosingBox(XWindow box) {
    std::optional<int> status;
    PollUntil(
        [&] {
            m_server->Focus(box);
            m_server->Key("Return", true);
            m_server->Key("Return", false);
            status = WaitForExit(500ms);
            return status.has_value();
        },
        5s, 0ms);
    return status;
}

} // namespace reloj::e2e
