#include "chimes/chimes.h"
#include "fake_platform.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace reloj {
namespace {

std::string Text(int hour, int minute, int second) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    return text;
}

TEST(ChimeRow, EveryChimeOfTheDay) {
    const std::array<const char*, 24> files{
        "24am.wav", "1am.wav",  "2am.wav",  "3am.wav",  "4am.wav",  "5am.wav",
        "6am.wav",  "7am.wav",  "8am.wav",  "9am.wav",  "10am.wav", "11am.wav",
        "12pm.wav", "13pm.wav", "14pm.wav", "15pm.wav", "16pm.wav", "17pm.wav",
        "18pm.wav", "19pm.wav", "20pm.wav", "21pm.wav", "22pm.wav", "23pm.wav",
    };
    int chimes = 0;
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            for (int second = 0; second < 60; ++second) {
                const auto row = ChimeRow(Text(hour, minute, second));
                if (second == 0 && minute == 0) {
                    ASSERT_TRUE(row) << Text(hour, minute, second);
                    EXPECT_EQ(ChimeTable()[static_cast<std::size_t>(*row)],
                              files[static_cast<std::size_t>(hour)]);
                    ++chimes;
                } else if (second == 0 && minute == 30) {
                    ASSERT_TRUE(row) << Text(hour, minute, second);
                    EXPECT_EQ(ChimeTable()[static_cast<std::size_t>(*row)], "media.wav");
                    ++chimes;
                } else {
                    ASSERT_FALSE(row) << Text(hour, minute, second);
                }
            }
        }
    }
    EXPECT_EQ(chimes, 48);
}

TEST(ChimeRow, OtherTimeTexts) {
    const struct {
        const char* name;
        const char* text;
        const char* file; // nullptr: no chime
    } rows[] = {
        {"one-digit hour", "9:00:00", "9am.wav"},
        {"one-digit midnight", "0:00:00", "24am.wav"},
        {"twelve-hour text never matches", "1:00:00 PM", nullptr},
        {"twelve-hour half hour never matches", "1:30:00 AM", nullptr},
        {"text without an hour plays midnight's sound", "ab:00:00", "24am.wav"},
        {"half hour needs no hour", "xx:30:00", "media.wav"},
        {"hour 24 is no row", "24:00:00", nullptr},
        {"short text", "00", nullptr},
        {"empty text", "", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto found = ChimeRow(row.text);
        if (row.file == nullptr) {
            EXPECT_FALSE(found);
        } else {
            ASSERT_TRUE(found);
            EXPECT_EQ(ChimeTable()[static_cast<std::size_t>(*found)], row.file);
        }
    }
}

TEST(Chimes, OpenedOnceThenRewoundAndReplayed) {
    test::FakePlatform platform;
    Chimes chimes(platform);
    chimes.ChimeCheck("12:00:00");
    chimes.ChimeCheck("12:00:00");
    chimes.ChimeCheck("12:00:01");
    chimes.ChimeCheck("12:30:00");
    const std::vector<std::string> expected = {
        "CreateSoundPlayer",        "Open /sonidos/12pm.wav",  "Play /sonidos/12pm.wav",
        "Rewind /sonidos/12pm.wav", "Play /sonidos/12pm.wav",  "CreateSoundPlayer",
        "Open /sonidos/media.wav",  "Play /sonidos/media.wav",
    };
    EXPECT_EQ(platform.journal, expected);
}

TEST(Chimes, ClosingSound) {
    test::FakePlatform platform;
    Chimes chimes(platform);
    chimes.PlayClosingSound();
    EXPECT_EQ(platform.journal.back(), "Play /sonidos/finreloj.wav");
}

} // namespace
} // namespace reloj
