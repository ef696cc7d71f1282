#include "calculator/calculator_window.h"

#include "calculator/birth_date.h"
#include "calculator/calculator_layout.h"
#include "calculator/elapsed.h"

namespace reloj {

namespace {

std::chrono::year_month_day Today(const Platform& platform) {
    const LocalTime now = platform.Now();
    return std::chrono::year_month_day{std::chrono::year{now.year},
                                       std::chrono::month{static_cast<unsigned>(now.month)},
                                       std::chrono::day{static_cast<unsigned>(now.day)}};
}

} // namespace

CalculatorWindow::CalculatorWindow(Platform& platform, const ClockLayout& layout,
                                   bool& chimesMuted)
    : m_platform(platform), m_layout(layout), m_chimesMuted(chimesMuted) {}

CalculatorWindow::~CalculatorWindow() {
    Close();
}

void CalculatorWindow::Show(Window& owner) {
    if (!m_view) {
        m_view = m_platform.CreateCalculator(owner, LayOutCalculator(Pixels(m_layout)), *this);
        m_view->SetMuted(m_chimesMuted);
        m_view->TickAt(m_platform.Now().epochSecond + 1);
    }
    m_view->Show();
}

void CalculatorWindow::Close() {
    m_view.reset();
}

// The result follows the typed date once a second while the window is open; the ticks end
// with the window.
void CalculatorWindow::OnTick() {
    m_view->TickAt(m_platform.Now().epochSecond + 1);
    const BirthDateText typed = ReadBirthDate(m_view->TypedDate());
    switch (typed.kind) {
    case BirthDateText::Kind::Ignored:
        return;
    case BirthDateText::Kind::Invalid:
        m_view->SetResult(std::string(kInvalidDateCaption));
        return;
    case BirthDateText::Kind::Valid:
        break;
    }
    // Today is read afresh for each quantity, as the caption has always been built.
    Elapsed elapsed;
    elapsed.years = ElapsedPartBetween(typed.date, Today(m_platform), ElapsedPart::Years);
    elapsed.months = ElapsedPartBetween(typed.date, Today(m_platform), ElapsedPart::Months);
    elapsed.days = ElapsedPartBetween(typed.date, Today(m_platform), ElapsedPart::Days);
    m_view->SetResult(ElapsedCaption(elapsed));
}

void CalculatorWindow::OnMuteToggled(bool muted) {
    m_chimesMuted = muted;
}

void CalculatorWindow::OnCloseRequested() {
    Close();
}

} // namespace reloj
