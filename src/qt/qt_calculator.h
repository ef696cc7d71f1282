// The calculator's window on Qt. CalculatorWidget is the window on screen: a fixed-size titled
// window, black, with the prompt, the date box, the dividing line, the heading, the result and
// the mute switch as real widgets, each named in Spanish for screen readers, laid out to the
// pixel the logic gives (CalculatorLayout) and kept above the clock window that owns it. QtCalculator is the
// handle the logic holds (CalculatorView); letting it go hides the window and deletes it later,
// so that the window may be closed from inside one of its own events. What the result says is
// the logic's.
#pragma once

#include "platform/calculator_view.h"
#include "qt/second_timer.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace reloj {

class DividingLine;

class CalculatorWidget final : public QWidget {
  public:
    CalculatorWidget(QWidget* owner, const CalculatorLayout& layout, CalculatorEvents& events);

    void SetResult(const QString& text);
    QString TypedDate() const;
    void SetMuted(bool muted);
    void TickAt(int64_t epochSecond);
    // No more events reach the logic from here on.
    void Detach();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // The letters of the label or check box fitted to the text it now shows.
    void FitFont(QWidget* control, const QString& text) const;

    CalculatorEvents* m_events;
    CalculatorLayout m_layout;
    // In the order they stand on the window, the later above the earlier; the keyboard goes
    // from the date box to the switch.
    DividingLine* m_line;
    QLabel* m_prompt;
    QLineEdit* m_date;
    QLabel* m_result;
    QLabel* m_heading;
    QCheckBox* m_mute;
    // Told of jumps of the wall clock by the platform, which finds it among the window's
    // children.
    SecondTimer* m_timer;
    bool m_centreWhenShown = true;
};

class QtCalculator final : public CalculatorView {
  public:
    QtCalculator(QWidget* owner, const CalculatorLayout& layout, CalculatorEvents& events);
    ~QtCalculator() override;

    void Show() override;
    void SetResult(const std::string& text) override;
    std::string TypedDate() const override;
    void SetMuted(bool muted) override;
    void TickAt(int64_t epochSecond) override;

    CalculatorWidget* Widget() const { return m_widget; }

  private:
    QPointer<CalculatorWidget> m_widget;
};

} // namespace reloj
