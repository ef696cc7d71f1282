// How the end-to-end tests run other programs: a child process with the command line and the
// environment a test gives, its standard input from a file and its output and errors kept in
// files of its own, waited for and stopped with a timeout. It knows nothing of X, sound or the
// program under test; running_clock.h starts the real program on it.
#pragma once

#include <chrono>
#include <csignal>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace reloj::e2e {

using namespace std::chrono_literals;

// A temporary directory removed with everything in it when the object goes. It is made for
// its owner alone (mode 0700), as a runtime directory must be.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// The calling process's environment, as a map.
std::map<std::string, std::string> InheritedEnvironment();

// Those of the programs (paths, or names to look up on PATH) that cannot be run here: what a
// test that needs them names when it skips.
std::vector<std::string> MissingPrograms(const std::vector<std::string>& programs);

// The names in one line, for a message, with the separator between them.
std::string Joined(const std::vector<std::string>& names, const std::string& separator = ", ");

// Asks `condition` again every `interval` until it holds or the timeout has passed; says
// whether it held. The condition is asked at least once, and once more at the deadline.
template <typename Condition>
bool PollUntil(Condition condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = 20ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(interval);
    }
    return true;
}

// Real seconds since a moment of the test's own clock.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// While it lives, asks the kernel to keep idle CPUs ready to run at once: a wake-up latency
// of zero through /dev/cpu_dma_latency, which needs root; the request ends with the object.
// An idle CPU of a virtual machine can otherwise take several milliseconds to wake, longer
// than a simulated second lasts when a clock runs fast.
class QuickWakeUps {
  public:
    QuickWakeUps();
    ~QuickWakeUps();
    QuickWakeUps(const QuickWakeUps&) = delete;
    QuickWakeUps& operator=(const QuickWakeUps&) = delete;

  private:
    int m_fd = -1;
};

class Process {
  public:
    struct Options {
        // The program first: a path, or a name to look up on PATH.
        std::vector<std::string> command;
        // All the child gets: nothing else is inherited.
        std::map<std::string, std::string> environment = InheritedEnvironment();
        std::string input = "/dev/null";
        // Run at a fixed real-time priority, with quick wake-ups for as long as the process
        // lives, for runs where it must keep up with a clock many times faster than the real
        // one.
        bool realTime = false;
    };
    explicit Process(const Options& options);
    // Stops the process if it still runs.
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The exit status once the process has ended within the timeout; a death by signal is
    // reported as 128 + the signal number.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
    bool Running();
    // Sends a signal and waits for the end, killing the process if it outstays the timeout;
    // says whether it ended without being killed.
    bool Stop(int signal = SIGTERM, std::chrono::milliseconds timeout = 2s);
    pid_t Pid() const { return m_pid; }
    // Whether the real-time priority asked for was granted.
    bool RealTime() const { return m_realTime; }

    // What the process has written so far to its standard output and its standard error.
    std::string Output() const;
    std::string ErrorOutput() const;
    std::string OutputFile() const { return m_dir.Path() + "/stdout"; }
    // The first line of the output once the process has written all of it; empty when the
    // process ends or the timeout passes first.
    std::string FirstLine(std::chrono::milliseconds timeout);

  private:
    TempDir m_dir;
    pid_t m_pid = -1;
    std::optional<int> m_status;
    bool m_realTime = false;
    std::optional<QuickWakeUps> m_quickWakeUps;
};

} // namespace reloj::e2e
