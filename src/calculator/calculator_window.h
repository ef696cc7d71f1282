// CalculatorWindow: a small titled window, opened by a double-click on the hands and closed by
// a click, that shows every second the time lived since the birth date typed in its box, and
// holds the switch that mutes the chimes. Reading the date and the calendar arithmetic live in
// birth_date and elapsed; the clock's tick reads the mute switch.
#pragma once

#include "platform/platform.h"

#include <memory>
#include <string>

namespace reloj {

inline constexpr const char* kCalculatorTitle =
    "Calcula La Edad De Quien Desees Con Esta Utilidad...";

class CalculatorWindow : public WindowEvents {
  public:
    // `chimesMuted` belongs to the application, and the hands window reads it on every tick;
    // the check box writes it, and shows it again whenever the window opens.
    CalculatorWindow(Platform& platform, bool& chimesMuted);
    ~CalculatorWindow() override;

    // Opens a fresh window (unless one is open) and shows it, modeless. It is the hands
    // window's own, so that it opens above the clock and stays there while it is open.
    void Show(Window& owner);
    // Closes the window, if it is open: the typed date goes, the mute switch stays.
    void Close();
    bool IsOpen() const { return m_window != nullptr; }

    void OnTick() override;
    void OnControlToggled(const std::string& control) override;
    void OnCloseRequested() override;

  private:
    void SetUp();
    void OnMuteToggled();

    Platform& m_platform;
    bool& m_chimesMuted;
    std::unique_ptr<Window> m_window;
};

} // namespace reloj
