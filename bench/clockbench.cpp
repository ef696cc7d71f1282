// clockbench: the measuring half of bench/run. Three commands:
//
//   clockbench map [--keep] [--log FILE] [--timeout S] -- PROGRAM [ARGS...]
//       Starts PROGRAM and waits for the first window mapped on the root of $DISPLAY. Prints
//       "map_ms=… cpu_ms=… wait_ms=… pid=… window=0x… size=WxH title=…": wall-clock from fork
//       to map, and the CPU time and run-queue wait of the program's threads up to the map.
//       Without --keep the program is then ended; with it the program goes on running, in a
//       session of its own, for bench/run to measure.
//
//   clockbench sample --seconds S [--threads FILE] [--series FILE] LABEL=PID...
//       Reads the memory of each process once, then its threads' CPU time and context switches
//       at the start of the window and every second after it, for S seconds. Prints one
//       "LABEL.key=value" line per figure; the per-thread breakdown goes to --threads, and
//       each second's CPU and wake-ups to --series.
//
//   clockbench tick [MS]
//       Wakes MS milliseconds (default 5) after every wall-clock second and does nothing else,
//       until killed: the least a one-second clock can cost, for scale.
//
//   clockbench redraw X Y W H PER_SECOND
//       Maps a window at that place on $DISPLAY and paints it afresh, black and white in turn,
//       PER_SECOND times a second until killed: a busy program elsewhere on the screen.
//
// map and sample work from the outside only: the X server's events and /proc. Nothing here
// asks the measured programs anything, so the figures do not include the cost of measuring.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <set>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

int64_t Nanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "clockbench: %s\n", message.c_str());
    std::exit(2);
}

// A window that has gone by the time its name is asked for is no reason to stop.
int IgnoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

std::string WindowTitle(Display* display, Window window) {
    char* name = nullptr;
    std::string title;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

// Ends a program started here and waits for it, so that the next start finds the display
// and the machine as quiet as the first one did.
void EndProgram(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        usleep(10'000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// On-CPU time and run-queue wait of all the threads of a process so far, in ns: the first two
// fields of each thread's schedstat. Wall-clock start-up minus these is time spent waiting
// on something other than a CPU; the wait shows how much other work on the machine delayed it.
std::pair<int64_t, int64_t> ThreadTimes(pid_t pid) {
    int64_t cpu = 0;
    int64_t wait = 0;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(taskDir.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            std::istringstream fields(ReadFile(taskDir + "/" + entry->d_name + "/schedstat"));
            int64_t threadCpu = 0;
            int64_t threadWait = 0;
            if (fields >> threadCpu >> threadWait) {
                cpu += threadCpu;
                wait += threadWait;
            }
        }
        closedir(dir);
    }
    return {cpu, wait};
}

int MapCommand(int argc, char** argv) {
    bool keep = false;
    std::string log = "/dev/null";
    double timeoutSeconds = 20.0;
    int i = 0;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep") {
            keep = true;
        } else if (arg == "--log" && i + 1 < argc) {
            log = argv[++i];
        } else if (arg == "--timeout" && i + 1 < argc) {
            timeoutSeconds = std::atof(argv[++i]);
        } else if (arg == "--") {
            ++i;
            break;
        } else {
            Fail("map: unknown option " + arg);
        }
    }
    if (i >= argc) {
        Fail("map: no program given");
    }
    char** program = argv + i;

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        Fail("map: cannot open the display");
    }
    XSetErrorHandler(IgnoreXErrors);
    const Window root = DefaultRootWindow(display);
    // Without a window manager every top-level window is a child of the root, so its creation
    // and its first map are both reported here. Only a window created after the start counts:
    // a program started just before may still be mapping its second window.
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const int64_t start = Nanoseconds(CLOCK_MONOTONIC);
    const pid_t pid = fork();
    if (pid < 0) {
        Fail("map: fork failed");
    }
    if (pid == 0) {
        setsid();
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (in >= 0) {
            dup2(in, 0);
        }
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        close(ConnectionNumber(display));
        execvp(program[0], program);
        _exit(127);
    }

    const int64_t deadline = start + static_cast<int64_t>(timeoutSeconds * kNsPerSecond);
    std::set<Window> created;
    std::pair<int64_t, int64_t> times;
    Window mapped = 0;
    int64_t mappedAt = 0;
    while (mapped == 0) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
                created.insert(event.xcreatewindow.window);
            }
            if (event.type == MapNotify && event.xmap.event == root &&
                created.count(event.xmap.window) != 0) {
                mappedAt = Nanoseconds(CLOCK_MONOTONIC);
                times = ThreadTimes(pid);
                mapped = event.xmap.window;
                break;
            }
        }
        if (mapped != 0) {
            break;
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            Fail(std::string("map: ") + program[0] + " ended before it showed a window");
        }
        const int64_t left = deadline - Nanoseconds(CLOCK_MONOTONIC);
        if (left <= 0) {
            EndProgram(pid);
            Fail(std::string("map: ") + program[0] + " showed no window in time");
        }
        pollfd watch{ConnectionNumber(display), POLLIN, 0};
        poll(&watch, 1, static_cast<int>(std::min<int64_t>(left / 1'000'000 + 1, 100)));
    }

    const std::string title = WindowTitle(display, mapped);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, mapped, &attributes) == 0) {
        attributes.width = attributes.height = 0;
    }
    std::printf("map_ms=%.3f cpu_ms=%.3f wait_ms=%.3f pid=%d window=0x%lx size=%dx%d title=%s\n",
                static_cast<double>(mappedAt - start) / 1e6,
                static_cast<double>(times.first) / 1e6, static_cast<double>(times.second) / 1e6,
                pid, mapped, attributes.width, attributes.height, title.c_str());
    std::fflush(stdout);
    XCloseDisplay(display);
    if (!keep) {
        EndProgram(pid);
    }
    return 0;
}

// The value after "Name:" in a /proc status-like file, or -1 when it is not there.
int64_t Field(const std::string& text, const std::string& name) {
    const std::string key = name + ":";
    std::size_t at = 0;
    while ((at = text.find(key, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n') {
            return std::strtoll(text.c_str() + at + key.size(), nullptr, 10);
        }
        at += key.size();
    }
    return -1;
}

struct Thread {
    std::string comm;
    int64_t cpuStart = 0; // ns on the CPU when the window began, 0 for a thread born later
    int64_t cpu = 0;
    int64_t voluntaryStart = 0;
    int64_t voluntary = 0;
    int64_t involuntaryStart = 0;
    int64_t involuntary = 0;
    bool bornInWindow = false;
    bool alive = true;
};

struct Process {
    std::string label;
    pid_t pid = 0;
    int64_t rssKb = -1;
    int64_t pssKb = -1;
    std::map<pid_t, Thread> threads;
    std::vector<int64_t> perSecondCpu;
    std::vector<int64_t> perSecondVoluntary;
    int64_t lastVoluntary = 0;
    int64_t lastTotal = 0;
    bool gone = false;

    int64_t TotalCpu() const {
        int64_t total = 0;
        for (const auto& [tid, t] : threads) {
            total += t.cpu - t.cpuStart;
        }
        return total;
    }
    int64_t TotalVoluntary() const {
        int64_t total = 0;
        for (const auto& [tid, t] : threads) {
            total += t.voluntary - t.voluntaryStart;
        }
        return total;
    }
    int64_t TotalInvoluntary() const {
        int64_t total = 0;
        for (const auto& [tid, t] : threads) {
            total += t.involuntary - t.involuntaryStart;
        }
        return total;
    }
};

// One reading of every thread of the process. A thread that has ended keeps the last values
// read, so its work up to the last second still counts.
void ReadThreads(Process& process, bool first) {
    for (auto& [tid, t] : process.threads) {
        t.alive = false;
    }
    const std::string taskDir = "/proc/" + std::to_string(process.pid) + "/task";
    DIR* dir = opendir(taskDir.c_str());
    if (dir == nullptr) {
        process.gone = true;
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const pid_t tid = std::atoi(entry->d_name);
        const std::string base = taskDir + "/" + entry->d_name;
        const std::string schedstat = ReadFile(base + "/schedstat");
        const std::string status = ReadFile(base + "/status");
        if (schedstat.empty() || status.empty()) {
            continue; // ended between the listing and the reading
        }
        const int64_t cpu = std::strtoll(schedstat.c_str(), nullptr, 10);
        const int64_t voluntary = Field(status, "voluntary_ctxt_switches");
        const int64_t involuntary = Field(status, "nonvoluntary_ctxt_switches");
        auto [it, inserted] = process.threads.try_emplace(tid);
        Thread& t = it->second;
        if (inserted) {
            t.bornInWindow = !first;
            if (first) {
                t.cpuStart = cpu;
                t.voluntaryStart = voluntary;
                t.involuntaryStart = involuntary;
            }
        }
        std::string comm = ReadFile(base + "/comm");
        while (!comm.empty() && (comm.back() == '\n' || comm.back() == ' ')) {
            comm.pop_back();
        }
        t.comm = comm;
        t.cpu = cpu;
        t.voluntary = voluntary;
        t.involuntary = involuntary;
        t.alive = true;
    }
    closedir(dir);
}

void ReadMemory(Process& process) {
    const std::string rollup = ReadFile("/proc/" + std::to_string(process.pid) + "/smaps_rollup");
    process.rssKb = Field(rollup, "Rss");
    process.pssKb = Field(rollup, "Pss");
}

int64_t Median(std::vector<int64_t> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int64_t Percentile(std::vector<int64_t> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

int SampleCommand(int argc, char** argv) {
    int seconds = 0;
    std::string threadsFile;
    std::string seriesFile;
    std::vector<Process> processes;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else if (arg == "--threads" && i + 1 < argc) {
            threadsFile = argv[++i];
        } else if (arg == "--series" && i + 1 < argc) {
            seriesFile = argv[++i];
        } else if (const auto eq = arg.find('='); eq != std::string::npos) {
            Process process;
            process.label = arg.substr(0, eq);
            process.pid = std::atoi(arg.c_str() + eq + 1);
            processes.push_back(std::move(process));
        } else {
            Fail("sample: unknown argument " + arg);
        }
    }
    if (seconds <= 0 || processes.empty()) {
        Fail("sample: give --seconds and at least one LABEL=PID");
    }

    // Every reading falls half-way between two wall-clock seconds: the one-second clocks
    // tick just after a second begins, so each one-second interval holds exactly one tick.
    const int64_t now = Nanoseconds(CLOCK_REALTIME);
    int64_t start = (now / kNsPerSecond + 1) * kNsPerSecond + kNsPerSecond / 2;
    const auto sleepUntil = [](int64_t when) {
        const timespec at{static_cast<time_t>(when / kNsPerSecond),
                          static_cast<long>(when % kNsPerSecond)};
        while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
    };
    sleepUntil(start);
    for (Process& process : processes) {
        ReadMemory(process);
        ReadThreads(process, true);
        process.lastTotal = 0;
    }
    for (int s = 1; s <= seconds; ++s) {
        sleepUntil(start + s * kNsPerSecond);
        for (Process& process : processes) {
            if (process.gone) {
                continue;
            }
            ReadThreads(process, false);
            const int64_t total = process.TotalCpu();
            process.perSecondCpu.push_back(total - process.lastTotal);
            process.lastTotal = total;
            const int64_t voluntary = process.TotalVoluntary();
            process.perSecondVoluntary.push_back(voluntary - process.lastVoluntary);
            process.lastVoluntary = voluntary;
        }
    }
    const int64_t end = start + seconds * kNsPerSecond;

    const int64_t startSecond = start / kNsPerSecond;
    const int64_t endSecond = end / kNsPerSecond;
    std::printf("window.start_epoch=%lld\nwindow.end_epoch=%lld\nwindow.seconds=%d\n",
                static_cast<long long>(startSecond), static_cast<long long>(endSecond), seconds);
    // Minute ticks are the minute boundaries crossed inside the window.
    std::printf("window.minute_ticks=%lld\n",
                static_cast<long long>(endSecond / 60 - startSecond / 60));

    // One line a second and process: when the second ended, its CPU and its wake-ups.
    if (FILE* series = seriesFile.empty() ? nullptr : std::fopen(seriesFile.c_str(), "w")) {
        for (const Process& p : processes) {
            for (std::size_t s = 0; s < p.perSecondCpu.size(); ++s) {
                std::fprintf(series, "%s %lld %lld %lld\n", p.label.c_str(),
                             static_cast<long long>(startSecond + 1 + static_cast<int64_t>(s)),
                             static_cast<long long>(p.perSecondCpu[s]),
                             static_cast<long long>(p.perSecondVoluntary[s]));
            }
        }
        std::fclose(series);
    }

    FILE* threads = threadsFile.empty() ? nullptr : std::fopen(threadsFile.c_str(), "w");
    for (const Process& p : processes) {
        const char* l = p.label.c_str();
        std::printf("%s.pid=%d\n", l, p.pid);
        std::printf("%s.gone=%d\n", l, p.gone ? 1 : 0);
        std::printf("%s.rss_kb=%lld\n%s.pss_kb=%lld\n", l, static_cast<long long>(p.rssKb), l,
                    static_cast<long long>(p.pssKb));
        std::printf("%s.cpu_ns=%lld\n", l, static_cast<long long>(p.TotalCpu()));
        std::printf("%s.voluntary=%lld\n", l, static_cast<long long>(p.TotalVoluntary()));
        std::printf("%s.involuntary=%lld\n", l, static_cast<long long>(p.TotalInvoluntary()));
        std::printf("%s.second_median_ns=%lld\n", l,
                    static_cast<long long>(Median(p.perSecondCpu)));
        std::printf("%s.second_p90_ns=%lld\n", l,
                    static_cast<long long>(Percentile(p.perSecondCpu, 0.9)));
        std::printf("%s.second_max_ns=%lld\n", l,
                    static_cast<long long>(Percentile(p.perSecondCpu, 1.0)));
        std::printf("%s.threads=%zu\n", l, p.threads.size());
        if (threads != nullptr) {
            std::fprintf(threads, "%s (pid %d): %zu threads\n", l, p.pid, p.threads.size());
            std::fprintf(threads, "  %-8s %-16s %12s %10s %10s %10s  %s\n", "tid", "name",
                         "cpu_us", "voluntary", "per_s", "involunt.", "note");
            for (const auto& [tid, t] : p.threads) {
                const int64_t voluntary = t.voluntary - t.voluntaryStart;
                std::fprintf(threads, "  %-8d %-16s %12.1f %10lld %10.3f %10lld  %s\n", tid,
                             t.comm.c_str(), static_cast<double>(t.cpu - t.cpuStart) / 1e3,
                             static_cast<long long>(voluntary),
                             static_cast<double>(voluntary) / seconds,
                             static_cast<long long>(t.involuntary - t.involuntaryStart),
                             t.bornInWindow ? "started in the window"
                             : !t.alive     ? "ended in the window"
                                            : "");
            }
        }
    }
    if (threads != nullptr) {
        std::fclose(threads);
    }
    return 0;
}

// The least a one-second clock can cost on this machine: wake a few milliseconds after each
// wall-clock second, as the clocks aim their timers, and go straight back to sleep. Runs until
// killed.
int TickCommand(int64_t offsetMs) {
    for (;;) {
        const int64_t now = Nanoseconds(CLOCK_REALTIME);
        const int64_t next = (now / kNsPerSecond + 1) * kNsPerSecond + offsetMs * 1'000'000;
        const timespec at{static_cast<time_t>(next / kNsPerSecond),
                          static_cast<long>(next % kNsPerSecond)};
        clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &at, nullptr);
    }
}

// A window that keeps being drawn, as a video or a busy program's window is. Runs until killed.
int RedrawCommand(int x, int y, int width, int height, int perSecond) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        Fail("redraw: no display");
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, 0, 0);
    XMapWindow(display, window);
    const unsigned long colours[] = {BlackPixel(display, DefaultScreen(display)),
                                     WhitePixel(display, DefaultScreen(display))};
    const timespec pause{0, static_cast<long>(kNsPerSecond / perSecond)};
    for (unsigned turn = 0;; ++turn) {
        XSetWindowBackground(display, window, colours[turn % 2]);
        XClearWindow(display, window);
        XFlush(display);
        nanosleep(&pause, nullptr);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "map") == 0) {
        return MapCommand(argc - 2, argv + 2);
    }
    if (argc >= 2 && std::strcmp(argv[1], "sample") == 0) {
        return SampleCommand(argc - 2, argv + 2);
    }
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "tick") == 0) {
        constexpr int64_t kDefaultOffsetMs = 5;
        const int64_t offset = argc == 3 ? std::atoll(argv[2]) : kDefaultOffsetMs;
        if (offset < 0 || offset >= 1000) {
            Fail("tick: the offset is in milliseconds, 0 to 999");
        }
        return TickCommand(offset);
    }
    if (argc == 7 && std::strcmp(argv[1], "redraw") == 0) {
        const int perSecond = std::atoi(argv[6]);
        if (perSecond <= 0 || perSecond > 1000) {
            Fail("redraw: 1 to 1000 times a second");
        }
        return RedrawCommand(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                             std::atoi(argv[5]), perSecond);
    }
    std::fputs("usage: clockbench map [--keep] [--log FILE] [--timeout S] -- PROGRAM [ARGS...]\n"
               "       clockbench sample --seconds S [--threads FILE] [--series FILE]\n"
               "                         LABEL=PID...\n"
               "       clockbench tick [MS]\n"
               "       clockbench redraw X Y W H PER_SECOND\n",
               stderr);
    return 2;
}
