// Form3, the calculator window: a small titled window, opened by a double-click on the hands
// and closed by a click, that shows the time lived since a typed birth date and holds the
// switch that mutes the chimes. The arithmetic lives in perendat and birth_date.
#pragma once

#include "platform/platform.h"

#include <memory>
#include <string>

namespace reloj {

inline constexpr const char* kCalculatorTitle =
    "Calcula La Edad De Quien Desees Con Esta Utilidad...";

class Form3 : public FormEvents {
  public:
    // `chimeFlag` is the caption of the hands window's hidden mute label: "0" lets the
    // chimes play.
    Form3(Platform& platform, std::string& chimeFlag);
    ~Form3() override;

    // Loads a fresh window (unless one is loaded) and shows it, modeless, without an owner.
    void Show();
    // Unloads the window, if it is loaded; the chime flag keeps its value.
    void Unload();
    bool IsLoaded() const { return m_window != nullptr; }

  private:
    Platform& m_platform;
    std::string& m_chimeFlag;
    std::unique_ptr<FormWindow> m_window;
};

} // namespace reloj
