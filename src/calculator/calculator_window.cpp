#include "calculator/calculator_window.h"

#include "calculator/birth_date.h"
#include "calculator/elapsed.h"

#include <array>

namespace reloj {

namespace {

constexpr float kClientWidth = 5895;
constexpr float kClientHeight = 705;

constexpr Colour kWhiteText = 0xFFFFFF;
constexpr Colour kLightCyan = 0xFFFF80;
constexpr Colour kLightYellow = 0x80FFFF;
constexpr Colour kLightPeach = 0xC0E0FF;

// The controls' names are also their accessible names, which assistive tools (and the
// end-to-end tests) read; they are kept as they have always been.
constexpr const char* kPromptLabel = "Label1";
constexpr const char* kDateBox = "dia";
constexpr const char* kResultLabel = "datos";
constexpr const char* kHeadingLabel = "Label2";
constexpr const char* kMuteSwitch = "sondhoras";

// The controls in tab order: the prompt and the date box on the left, the heading, the
// result and the mute switch on the right.
const std::array<ControlDescription, 5>& Controls() {
    static const std::array<ControlDescription, 5> controls{{
        {kPromptLabel, ControlKind::Label, "Tu Fecha De Nacimiento dd/mm/aaaa", 120, 0, 2895, 255,
         kWhiteText, 0},
        {kDateBox, ControlKind::TextBox, "", 840, 240, 1455, 285, kLightCyan, 1},
        {kResultLabel, ControlKind::Label, "", 3240, 240, 2655, 255, kLightYellow, 2},
        {kHeadingLabel, ControlKind::Label, "Tiempo Exacto Que Llevas Viviendo", 3240, 0, 2595, 195,
         kWhiteText, 3},
        {kMuteSwitch, ControlKind::CheckBox, "Quitar Sonidos De Las Horas", 3360, 480, 2775, 195,
         kWhiteText, 4},
    }};
    return controls;
}

// A line divides the input half from the result half.
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

CalculatorWindow::CalculatorWindow(Platform& platform, bool& chimesMuted)
    : m_platform(platform), m_chimesMuted(chimesMuted) {}

CalculatorWindow::~CalculatorWindow() {
    Close();
}

void CalculatorWindow::Show(Window& owner) {
    if (!m_window) {
        m_window = m_platform.CreateWindow(
            WindowDescription{kCalculatorTitle, false, kClientWidth, kClientHeight}, &owner, *this);
        SetUp();
    }
    m_window->Show();
}

void CalculatorWindow::SetUp() {
    m_window->SetColours(kBlack, std::nullopt);
    for (const ControlDescription& control : Controls()) {
        m_window->AddControl(control);
    }
    m_window->AddLine(kLineX, kLineTop, kLineX, kLineBottom, kLinePixels, kLightPeach);
    m_window->SetChecked(kMuteSwitch, m_chimesMuted);
    m_window->SetFocus(kDateBox);
    m_window->TickAt(m_platform.Now().epochSecond + 1);
}

void CalculatorWindow::Close() {
    m_window.reset();
}

// The result follows the typed date once a second while the window is open; the ticks end
// with the window.
void CalculatorWindow::OnTick() {
    m_window->TickAt(m_platform.Now().epochSecond + 1);
    const BirthDateText typed = ReadBirthDate(m_window->Text(kDateBox));
    switch (typed.kind) {
    case BirthDateText::Kind::Ignored:
        return;
    case BirthDateText::Kind::Invalid:
        m_window->SetText(kResultLabel, std::string(kInvalidDateCaption));
        return;
    case BirthDateText::Kind::Valid:
        break;
    }
    // Today is read afresh for each quantity, as the caption has always been built.
    Elapsed elapsed;
    elapsed.years = ElapsedPartBetween(typed.date, Today(m_platform), ElapsedPart::Years);
    elapsed.months = ElapsedPartBetween(typed.date, Today(m_platform), ElapsedPart::Months);
    elapsed.days = ElapsedPartBetween(typed.date, Today(m_platform), ElapsedPart::Days);
    m_window->SetText(kResultLabel, ElapsedCaption(elapsed));
}

void CalculatorWindow::OnControlToggled(const std::string& control) {
    if (control == kMuteSwitch) {
        OnMuteToggled();
    }
}

void CalculatorWindow::OnMuteToggled() {
    m_chimesMuted = m_window->Checked(kMuteSwitch);
}

void CalculatorWindow::OnCloseRequested() {
    Close();
}

} // namespace reloj
