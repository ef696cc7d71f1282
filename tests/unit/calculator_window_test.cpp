#include "calculator/calculator_window.h"
#include "fake_platform.h"

#include <gtest/gtest.h>

namespace reloj {
namespace {

class Calculator : public ::testing::Test {
  protected:
    test::FakeWindow& Open() {
        calculator.Show(*hands);
        auto* window = platform.Find(kCalculatorTitle);
        EXPECT_NE(window, nullptr);
        return *window;
    }
    void TodayIs(int year, int month, int day) {
        platform.now.year = year;
        platform.now.month = month;
        platform.now.day = day;
    }

    test::FakePlatform platform;
    WindowEvents handsEvents;
    std::unique_ptr<Window> hands =
        platform.CreateWindow(WindowDescription{"reloj", true}, nullptr, handsEvents);
    bool muted = false;
    CalculatorWindow calculator{platform, muted};
};

TEST_F(Calculator, Layout) {
    auto& window = Open();
    const std::vector<std::tuple<std::string, ControlKind, float, float, float, float, Colour>>
        expected = {
            {"Label1", ControlKind::Label, 120, 0, 2895, 255, 0xFFFFFF},
            {"dia", ControlKind::TextBox, 840, 240, 1455, 285, 0xFFFF80},
            {"datos", ControlKind::Label, 3240, 240, 2655, 255, 0x80FFFF},
            {"Label2", ControlKind::Label, 3240, 0, 2595, 195, 0xFFFFFF},
            {"sondhoras", ControlKind::CheckBox, 3360, 480, 2775, 195, 0xFFFFFF},
        };
    ASSERT_EQ(window.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ControlDescription& c = window.controls[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(std::tuple(c.name, c.kind, c.left, c.top, c.width, c.height, c.textColour),
                  expected[i]);
        EXPECT_EQ(c.tabIndex, static_cast<int>(i));
    }
    EXPECT_EQ(window.Text("Label1"), "Tu Fecha De Nacimiento dd/mm/aaaa");
    EXPECT_EQ(window.Text("Label2"), "Tiempo Exacto Que Llevas Viviendo");
    EXPECT_EQ(window.Text("sondhoras"), "Quitar Sonidos De Las Horas");
    EXPECT_EQ(window.Text("dia"), "");
    EXPECT_EQ(window.Text("datos"), "");
    EXPECT_EQ(window.background, kBlack);
    EXPECT_EQ(window.lines, 1);
    EXPECT_EQ(window.focus, "dia");
    EXPECT_TRUE(window.visible);
}

TEST_F(Calculator, EachTickReadsTheBox) {
    auto& window = Open();
    TodayIs(2003, 3, 10);
    const struct {
        const char* name;
        const char* typed;
        const char* shown; // after the tick
    } rows[] = {
        {"empty box changes nothing", "", ""},
        {"a birth date", "20/05/2000", "2 Años, 9 Meses Y 18 Días."},
        {"other length leaves the last result", "20/05/200", "2 Años, 9 Meses Y 18 Días."},
        {"trailing blank is eleven characters", "20/05/2000 ", "2 Años, 9 Meses Y 18 Días."},
        {"dashes", "20-05-2001", "1 Años, 9 Meses Y 18 Días."},
        {"today", "10/03/2003", "0 Años, 0 Meses Y 0 Días."},
        {"a date to come", "20/04/2003", "0 Años, 1 Meses Y 10 Días."},
        {"no such day", "31/02/2001", "Fecha no válida."},
        {"letters", "aa/bb/cccc", "Fecha no válida."},
        {"short text after an invalid one", "1/5/2000", "Fecha no válida."},
        {"regression: day missing in February", "31/01/2003", "0 Años, 1 Meses Y 7 Días."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window.texts["dia"] = row.typed;
        calculator.OnTick();
        EXPECT_EQ(window.Text("datos"), row.shown);
    }
}

TEST_F(Calculator, MovesOnAtMidnight) {
    auto& window = Open();
    window.texts["dia"] = "31/01/2001";
    TodayIs(2001, 2, 28);
    calculator.OnTick();
    EXPECT_EQ(window.Text("datos"), "0 Años, 0 Meses Y 28 Días.");
    TodayIs(2001, 3, 1);
    calculator.OnTick();
    // regression: the single borrow gave 1 month and -2 days here.
    EXPECT_EQ(window.Text("datos"), "0 Años, 0 Meses Y 29 Días.");
}

TEST_F(Calculator, CheckBoxWritesTheChimeFlag) {
    auto& window = Open();
    EXPECT_FALSE(window.Checked("sondhoras"));
    window.checked["sondhoras"] = true;
    calculator.OnControlToggled("sondhoras");
    EXPECT_TRUE(muted);
    window.checked["sondhoras"] = false;
    calculator.OnControlToggled("sondhoras");
    EXPECT_FALSE(muted);
    // Another control's report leaves the switch alone.
    window.checked["sondhoras"] = true;
    calculator.OnControlToggled("dia");
    EXPECT_FALSE(muted);
}

TEST_F(Calculator, ReopeningShowsTheFlagAsItStands) {
    muted = true;
    EXPECT_TRUE(Open().Checked("sondhoras"));
    calculator.Close();
    EXPECT_EQ(platform.Find(kCalculatorTitle), nullptr);
    muted = false;
    auto& fresh = Open();
    EXPECT_FALSE(fresh.Checked("sondhoras"));
    EXPECT_EQ(fresh.Text("dia"), "");
}

TEST_F(Calculator, CloseButtonClosesTheWindowOnly) {
    auto& window = Open();
    window.checked["sondhoras"] = true;
    calculator.OnControlToggled("sondhoras");
    window.Events().OnCloseRequested();
    EXPECT_FALSE(calculator.IsOpen());
    EXPECT_EQ(platform.Find(kCalculatorTitle), nullptr);
    EXPECT_FALSE(platform.quitStatus);
    EXPECT_TRUE(muted);
}

} // namespace
} // namespace reloj
