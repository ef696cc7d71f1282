#include "calculator/form3.h"

#include "calculator/birth_date.h"
#include "calculator/perendat.h"

#include <array>

namespace reloj {

namespace {

constexpr float kClientWidth = 5895;
constexpr float kClientHeight = 705;
constexpr int32_t kTimerMs = 1000;

constexpr Colour kWhiteText = 0xFFFFFF;
constexpr Colour kLightCyan = 0xFFFF80;
constexpr Colour kLightYellow = 0x80FFFF;
constexpr Colour kLightPeach = 0xC0E0FF;

constexpr const char* kDia = "dia";
constexpr const char* kDatos = "datos";
constexpr const char* kSondhoras = "sondhoras";

// The controls in tab order: the prompt and the date box on the left, the heading, the
// result and the mute switch on the right.
const std::array<ControlDesign, 5>& Controls() {
    static const std::array<ControlDesign, 5> controls{{
        {"Label1", ControlKind::Label, "Tu Fecha De Nacimiento dd/mm/aaaa", 120, 0, 2895, 255,
         kWhiteText, 0},
        {kDia, ControlKind::TextBox, "", 840, 240, 1455, 285, kLightCyan, 1},
        {kDatos, ControlKind::Label, "", 3240, 240, 2655, 255, kLightYellow, 2},
        {"Label2", ControlKind::Label, "Tiempo Exacto Que Llevas Viviendo", 3240, 0, 2595, 195,
         kWhiteText, 3},
        {kSondhoras, ControlKind::CheckBox, "Quitar Sonidos De Las Horas", 3360, 480, 2775, 195,
         kWhiteText, 4},
    }};
    return controls;
}

// Line1 divides the input half from the result half.
constexpr float kLineX = 3120;
constexpr float kLineTop = 0;
constexpr float kLineBottom = 720;
constexpr int32_t kLinePixels = 2;

std::chrono::year_month_day Today(const Platform& platform) {
    const LocalTime now = platform.Now();
    return std::chrono::year_month_day{std::chrono::year{now.year},
                                       std::chrono::month{static_cast<unsigned>(now.month)},
                                       std::chrono::day{static_cast<unsigned>(now.day)}};
}

} // namespace

Form3::Form3(Platform& platform, bool& chimesMuted)
    : m_platform(platform), m_chimesMuted(chimesMuted) {}

Form3::~Form3() {
    Unload();
}

void Form3::Show(FormWindow& owner) {
    if (!m_window) {
        m_window = m_platform.CreateForm(
            FormDesign{kCalculatorTitle, false, kClientWidth, kClientHeight}, &owner, *this);
        Form_Load();
    }
    m_window->Show();
}

void Form3::Form_Load() {
    m_window->SetBackColor(kBlack);
    for (const ControlDesign& control : Controls()) {
        m_window->AddControl(control);
    }
    m_window->AddLine(kLineX, kLineTop, kLineX, kLineBottom, kLinePixels, kLightPeach);
    m_window->SetValue(kSondhoras, m_chimesMuted ? 1 : 0);
    m_window->SetFocus(kDia);
    m_window->StartTimer(kTimerMs);
}

void Form3::Unload() {
    m_window.reset();
}

void Form3::Timer1_Timer() {
    const BirthDateText typed = ReadBirthDate(m_window->Text(kDia));
    switch (typed.kind) {
    case BirthDateText::Kind::Ignored:
        return;
    case BirthDateText::Kind::Invalid:
        m_window->SetText(kDatos, std::string(kInvalidDateCaption));
        return;
    case BirthDateText::Kind::Valid:
        break;
    }
    // Today is read afresh for each quantity, as the caption has always been built.
    Elapsed elapsed;
    elapsed.years = perendat(typed.date, Today(m_platform), "a").value_or(0);
    elapsed.months = perendat(typed.date, Today(m_platform), "m").value_or(0);
    elapsed.days = perendat(typed.date, Today(m_platform), "d").value_or(0);
    m_window->SetText(kDatos, ElapsedCaption(elapsed));
}

void Form3::Control_Click(const std::string& control) {
    if (control == kSondhoras) {
        sondhoras_Click();
    }
}

void Form3::sondhoras_Click() {
    // A box holds 0 or 1; any other value would leave the switch as it stands.
    if (m_window->Value(kSondhoras) == 1) {
        m_chimesMuted = true;
    }
    if (m_window->Value(kSondhoras) == 0) {
        m_chimesMuted = false;
    }
}

void Form3::Form_Closed() {
    Unload();
}

} // namespace reloj
