#include "chimes/chimes.h"
#include "fake_platform.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace reloj {
namespace {

// Every second of a day: the hour's own sound at hh:00:00, the half hour's at hh:30:00, nothing
// at any other second.
TEST(ChimeRow, EverySecondOfTheDay) {
    const std::array<const char*, 24> hourFiles{
        "24am.wav", "1am.wav",  "2am.wav",  "3am.wav",  "4am.wav",  "5am.wav",
        "6am.wav",  "7am.wav",  "8am.wav",  "9am.wav",  "10am.wav", "11am.wav",
        "12pm.wav", "13pm.wav", "14pm.wav", "15pm.wav", "16pm.wav", "17pm.wav",
        "18pm.wav", "19pm.wav", "20pm.wav", "21pm.wav", "22pm.wav", "23pm.wav",
    };
    int chimes = 0;
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            for (int second = 0; second < 60; ++second) {
                SCOPED_TRACE(testing::Message() << hour << ":" << minute << ":" << second);
                const auto row = ChimeRow(hour, minute, second);
                const char* file = second != 0    ? nullptr
                                   : minute == 0  ? hourFiles[static_cast<std::size_t>(hour)]
                                   : minute == 30 ? "media.wav"
                                                  : nullptr;
                if (file == nullptr) {
                    ASSERT_FALSE(row);
                    continue;
                }
                ASSERT_TRUE(row);
                EXPECT_EQ(ChimeTable()[static_cast<std::size_t>(*row)], file);
                ++chimes;
            }
        }
    }
    EXPECT_EQ(chimes, 48);
}

TEST(ChimeRow, TimesAroundTheChimes) {
    const struct {
        const char* name;
        int hour, minute, second;
        const char* file; // nullptr: no chime
    } rows[] = {
        {"midnight", 0, 0, 0, "24am.wav"},
        {"noon", 12, 0, 0, "12pm.wav"},
        {"the half hour after midnight", 0, 30, 0, "media.wav"},
        {"the last half hour of the day", 23, 30, 0, "media.wav"},
        {"a second before the hour", 9, 59, 59, nullptr},
        {"a second after the hour", 10, 0, 1, nullptr},
        {"a minute after the hour", 10, 1, 0, nullptr},
        {"a quarter past", 10, 15, 0, nullptr},
        {"a second after the half hour", 10, 30, 1, nullptr},
        {"a leap second before the hour", 9, 59, 60, nullptr},
        {"hour 24 is no row", 24, 0, 0, nullptr},
        {"a negative hour is no row", -1, 0, 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto found = ChimeRow(row.hour, row.minute, row.second);
        if (row.file == nullptr) {
            EXPECT_FALSE(found);
        } else {
            ASSERT_TRUE(found);
            EXPECT_EQ(ChimeTable()[static_cast<std::size_t>(*found)], row.file);
        }
    }
}

// What a desktop's mixer lists while a sound plays: each chime by the hour it strikes, in
// Spanish, with the singular of one o'clock, and no two sounds under the same title.
TEST(ChimeTitle, EachSoundIsCalledByWhatItStrikes) {
    const struct {
        const char* name;
        const char* file;
        const char* title;
    } rows[] = {
        {"noon", "12pm.wav", "Campanada de las 12"},
        {"one in the morning, singular", "1am.wav", "Campanada de la 1"},
        {"one in the afternoon, on the 24-hour clock", "13pm.wav", "Campanada de las 13"},
        {"eleven at night", "23pm.wav", "Campanada de las 23"},
        {"midnight, by its name", "24am.wav", "Campanada de medianoche"},
        {"the half hour", "media.wav", "Campanada de la media"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto& table = ChimeTable();
        const auto found = std::find(table.begin(), table.end(), row.file);
        ASSERT_NE(found, table.end());
        EXPECT_EQ(ChimeTitle(static_cast<int>(found - table.begin())), row.title);
    }
    std::set<std::string> titles{std::string(kClosingSoundTitle)};
    for (int row = 0; row < kChimeRows; ++row) {
        titles.insert(ChimeTitle(row));
    }
    EXPECT_EQ(titles.size(), static_cast<std::size_t>(kChimeRows + 1));
}

LocalTime At(int hour, int minute, int second, int64_t epochSecond) {
    return {2026, 12, 8, hour, minute, second, epochSecond};
}

// Each chime asks the platform for its file in the sound directory, under its title, every
// time it is due.
TEST(Chimes, EachChimePlaysItsFileUnderItsTitle) {
    test::FakePlatform platform;
    Chimes chimes(platform);
    constexpr int64_t kDay = 86400;
    chimes.ChimeCheck(At(12, 0, 0, 0), true);
    chimes.ChimeCheck(At(12, 0, 1, 1), true);
    chimes.ChimeCheck(At(12, 30, 0, 1800), true);
    chimes.ChimeCheck(At(12, 0, 0, kDay), true);
    chimes.PlayClosingSound();
    const std::vector<test::FakePlatform::SoundPlay> expected = {
        {"/sonidos/12pm.wav", "Campanada de las 12"},
        {"/sonidos/media.wav", "Campanada de la media"},
        {"/sonidos/12pm.wav", "Campanada de las 12"},
        {"/sonidos/finreloj.wav", "Despedida"},
    };
    EXPECT_EQ(platform.plays, expected);
}

// Ticks as the clock may meet them: late after a stall, across steps of the clock either way,
// across changes of zone and of summer time. Each tick is a local time and the instant it
// names (seconds from an arbitrary start), and whether the clock is muted.
TEST(Chimes, EachChimePlaysOnceWhateverTheClockDoes) {
    struct Tick {
        int hour, minute, second;
        int64_t instant;
        bool audible = true;
    };
    struct Row {
        const char* name;
        std::vector<Tick> ticks;
        std::vector<std::string> heard;
    };
    const int64_t ten = 36000;
    const Row rows[] = {
        {"on time", {{9, 59, 59, ten - 1}, {10, 0, 0, ten}, {10, 0, 1, ten + 1}}, {"10am.wav"}},
        {"a stall of two seconds over the hour",
         {{9, 59, 58, ten - 2}, {10, 0, 2, ten + 2}},
         {"10am.wav"}},
        {"five seconds late still plays",
         {{9, 59, 59, ten - 1}, {10, 0, 5, ten + 5}},
         {"10am.wav"}},
        {"six seconds late is skipped", {{9, 59, 59, ten - 1}, {10, 0, 6, ten + 6}}, {}},
        {"a step forward of ten seconds over the hour skips it",
         {{9, 59, 58, ten - 2}, {10, 0, 8, ten + 8}},
         {}},
        {"a step back of four seconds over a chime played does not repeat it",
         {{10, 0, 0, ten},
          {10, 0, 1, ten + 1},
          {9, 59, 57, ten - 3},
          {9, 59, 59, ten - 1},
          {10, 0, 0, ten},
          {10, 0, 1, ten + 1}},
         {"10am.wav"}},
        {"a step back of half an hour does not repeat the half hour before",
         {{10, 0, 0, ten}, {10, 30, 0, ten + 1800}, {10, 0, 1, ten + 1}},
         {"10am.wav", "media.wav"}},
        {"a step back of an hour plays the hour again",
         {{11, 0, 0, ten + 3600}, {10, 0, 0, ten}},
         {"11am.wav", "10am.wav"}},
        {"a zone an hour behind shows the same instant as another hour",
         {{11, 0, 0, ten}, {10, 0, 1, ten + 1}},
         {"11am.wav"}},
        {"summer time begins: two o'clock never comes, three does",
         {{1, 59, 59, ten - 1}, {3, 0, 0, ten}},
         {"3am.wav"}},
        {"summer time ends: two o'clock comes again an hour later",
         {{2, 0, 0, ten}, {2, 59, 59, ten + 3599}, {2, 0, 0, ten + 3600}},
         {"2am.wav", "2am.wav"}},
        {"a muted chime passes unheard, and stays so when unmuted at once",
         {{10, 0, 0, ten, false}, {10, 0, 2, ten + 2}},
         {}},
        {"a chime muted earlier does not hold back the next",
         {{10, 0, 0, ten, false}, {10, 30, 0, ten + 1800}},
         {"media.wav"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::FakePlatform platform;
        Chimes chimes(platform);
        for (const Tick& tick : row.ticks) {
            chimes.ChimeCheck(At(tick.hour, tick.minute, tick.second, tick.instant), tick.audible);
        }
        std::vector<std::string> heard;
        for (const auto& play : platform.plays) {
            heard.push_back(play.path.substr(play.path.rfind('/') + 1));
        }
        EXPECT_EQ(heard, row.heard);
    }
}

} // namespace
} // namespace reloj
