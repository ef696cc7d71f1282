// A week of the running clock at speed: seven simulated days under libfaketime, with the
// automatic colour on and a desktop that keeps changing behind it. Memory must not grow after
// the first hour, the number of live regions must stay put, and every one of the week's 336
// chimes must be asked for exactly once, in order.
#include "x_harness.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <thread>

namespace reloj::e2e {
namespace {

// Fast enough to fit a week in under seven minutes, slow enough that every simulated second
// still gets its tick on a two-core machine, at a real-time priority.
constexpr int kRate = 1500;
constexpr int kDays = 7;
constexpr long kSecondsPerDay = 24 * 3600;
constexpr long kMaxGrowthKb = 1024;

long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// The chimes from 23:30 on the first day to 23:00 seven days later, half an hour apart.
std::vector<std::string> ExpectedChimes() {
    std::vector<std::string> files;
    for (int slot = 0; slot < kDays * 48; ++slot) {
        const int minutes = (23 * 60 + 30 + slot * 30) % (24 * 60);
        const int hour = minutes / 60;
        if (minutes % 60 == 30) {
            files.push_back("media.wav");
        } else if (hour == 0) {
            files.push_back("24am.wav");
        } else if (hour < 12) {
            files.push_back(std::to_string(hour) + "am.wav");
        } else {
            files.push_back(std::to_string(hour) + "pm.wav");
        }
    }
    return files;
}

TEST(Soak, AWeekAtSpeed) {
    const TempDir nowhere;
    XServer server(96);
    server.SetDesktopColour(0xFFFFFF);
    auto environment = StartingAt("2026-12-07 23:10:00", kRate);
    environment["PULSE_SERVER"] = "unix:" + nowhere.Path() + "/no-server.sock";
    environment["QT_LOGGING_RULES"] = "reloj.sound=true;reloj.regions=true";
    const auto launched = std::chrono::steady_clock::now();
    Program reloj(server, {"100|100|70|1|1|0"}, environment, {.realTime = true});
    if (!reloj.RealTime()) {
        GTEST_SKIP() << "a real-time priority is not allowed here; at this speed the test "
                        "would only measure the machine's load";
    }
    ASSERT_TRUE(server.WaitForWindow(kMarkerTitle, 20s)) << reloj.ErrorOutput();

    const auto realSeconds = [](double simulated) {
        return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(simulated / kRate));
    };
    const auto firstHour = launched + realSeconds(3600);
    // A week from the start, then ten simulated minutes to be safely past 23:00.
    const auto end = launched + realSeconds(kDays * kSecondsPerDay + 600);
    long afterFirstHour = -1;
    // The desktop turns from white to black and back every simulated half hour, at a quarter
    // past and a quarter to: at this speed the repaint that follows takes longer than a
    // simulated second, and a clock held up at a chime's second would miss it, which at the
    // real speed it never is.
    constexpr long kFirstChange = 5 * 60;
    constexpr long kBetweenChanges = 30 * 60;
    bool white = true; // as it was painted before the start
    for (long at = kFirstChange; launched + realSeconds(at) < end; at += kBetweenChanges) {
        const auto change = launched + realSeconds(at);
        if (afterFirstHour < 0 && change >= firstHour) {
            std::this_thread::sleep_until(firstHour);
            afterFirstHour = ResidentKb(reloj.Pid());
        }
        std::this_thread::sleep_until(change);
        white = !white;
        server.SetDesktopColour(white ? 0xFFFFFF : 0x000000);
    }
    std::this_thread::sleep_until(end);
    const long atTheEnd = ResidentKb(reloj.Pid());
    EXPECT_TRUE(reloj.Running());
    EXPECT_TRUE(reloj.Stop(SIGTERM, 10s));
    EXPECT_EQ(reloj.WaitForExit(0s), 0);

    std::printf("resident %ld kB after the first hour, %ld kB after %d days\n", afterFirstHour,
                atTheEnd, kDays);
    EXPECT_GT(afterFirstHour, 0);
    EXPECT_LT(atTheEnd - afterFirstHour, kMaxGrowthKb);

    std::vector<std::string> chimes;
    std::set<long> regionCounts;
    long reshapes = 0;
    std::istringstream log(reloj.ErrorOutput());
    for (std::string line; std::getline(log, line);) {
        if (line.rfind("reloj.sound: play ", 0) == 0) {
            chimes.push_back(line.substr(18));
        } else if (line.rfind("reloj.regions: regions ", 0) == 0) {
            // The first reshape is the ring's, before the hands exist.
            if (++reshapes > 1) {
                regionCounts.insert(std::stol(line.substr(23)));
            }
        }
    }
    // A week of chimes is too long a list to print: say where the two lists part.
    const std::vector<std::string> expected = ExpectedChimes();
    const auto parted =
        std::mismatch(chimes.begin(), chimes.end(), expected.begin(), expected.end());
    EXPECT_EQ(chimes.size(), expected.size());
    EXPECT_TRUE(parted.first == chimes.end() && parted.second == expected.end())
        << "chime " << (parted.second - expected.begin()) + 1 << " of the week should be "
        << (parted.second == expected.end() ? "none" : *parted.second) << " but was "
        << (parted.first == chimes.end() ? "none" : *parted.first);
    std::printf("%zu chimes, %ld reshapes, live regions %s\n", chimes.size(), reshapes,
                regionCounts.size() == 1 ? std::to_string(*regionCounts.begin()).c_str()
                                         : "varied");
    EXPECT_EQ(regionCounts, std::set<long>{4});
    // One reshape a simulated minute, give or take the minutes around the start and the end.
    EXPECT_NEAR(reshapes, kDays * 24 * 60, 30);
}

} // namespace
} // namespace reloj::e2e
