// Form3, the calculator window: a small titled window, opened by a double-click on the hands
// and closed by a click, that shows every second the time lived since the birth date typed in
// its box, and holds the switch that mutes the chimes. Reading the date and the calendar
// arithmetic live in birth_date and perendat; the clock's tick reads the mute switch.
#pragma once

#include "platform/platform.h"

#include <memory>
#include <string>

namespace reloj {

inline constexpr const char* kCalculatorTitle =
    "Calcula La Edad De Quien Desees Con Esta Utilidad...";

class Form3 : public FormEvents {
  public:
    // `chimesMuted` belongs to the hands window, which reads it on every tick; the check box
    // writes it and shows it again whenever the window opens.
    Form3(Platform& platform, bool& chimesMuted);
    ~Form3() override;

    // Loads a fresh window (unless one is loaded) and shows it, modeless. It is the hands
    // window's own, so that it opens above the clock and stays there while it is open.
    void Show(FormWindow& owner);
    // Unloads the window, if it is loaded: the typed date goes, the mute switch stays.
    void Unload();
    bool IsLoaded() const { return m_window != nullptr; }

    void Timer1_Timer() override;
    void Control_Click(const std::string& control) override;
    void Form_Closed() override;

  private:
    void Form_Load();
    void sondhoras_Click();

    Platform& m_platform;
    bool& m_chimesMuted;
    std::unique_ptr<FormWindow> m_window;
};

} // namespace reloj
