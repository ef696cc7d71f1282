// CalculatorWindow: the logic of the small window, opened by a double-click on the hands and
// closed by a click, that shows every second the time lived since the birth date typed in its
// box, and holds the switch that mutes the chimes. Reading the date and the calendar arithmetic
// live in birth_date and elapsed; how the window looks is the platform's (CalculatorView); the
// clock's tick reads the mute switch.
#pragma once

#include "platform/platform.h"
#include "settings/clock_state.h"

#include <memory>

namespace reloj {

class CalculatorWindow : public CalculatorEvents {
  public:
    // `chimesMuted` belongs to the application, and the clock's tick reads it;
    // the switch writes it, and shows it again whenever the window opens.
    // It is laid out at the scale of the clock's `layout`, which it reads when it opens.
    CalculatorWindow(Platform& platform, const ClockLayout& layout, bool& chimesMuted);
    ~CalculatorWindow() override;

    // Opens a fresh window (unless one is open) and shows it, modeless. It is the hands
    // window's own, so that it opens above the clock and stays there while it is open.
    void Show(Window& owner);
    // Closes the window, if it is open: the typed date goes, the mute switch stays.
    void Close();
    bool IsOpen() const { return m_view != nullptr; }

    void OnTick() override;
    void OnMuteToggled(bool muted) override;
    void OnCloseRequested() override;

  private:
    Platform& m_platform;
    const ClockLayout& m_layout;
    bool& m_chimesMuted;
    std::unique_ptr<CalculatorView> m_view;
};

} // namespace reloj
