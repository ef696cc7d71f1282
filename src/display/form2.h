// Form2, the hour-marker window: a bare, square, topmost window cut down to the ring of twelve
// hour dots, showing the clock colour. Loading it sizes, colours and places it, records its
// corners for the automatic colour, cuts the ring and brings up the hands window above it;
// the hands themselves and the colour of the desktop are other units' business.
#pragma once

#include "display/form1.h"
#include "platform/platform.h"
#include "startup/clock_state.h"

#include <array>
#include <memory>
#include <optional>

namespace reloj {

// Where the marker window stands before the load sequence places it, in twips; a position
// the command line leaves at 0 keeps it.
inline constexpr float kMarkerInitialLeft = 7425;
inline constexpr float kMarkerInitialTop = 3300;
inline constexpr const char* kMarkerTitle = "$uhr$";

class Form2 : public FormEvents {
  public:
    Form2(ClockState& state, Platform& platform);
    ~Form2() override;

    // Loads the window (its load sequence runs) and shows it modeless.
    void Show();
    // Runs the unload sequence and destroys the window.
    void Unload();

    // Stores the four corners of the window, in screen pixels, in the shared state.
    void MakePoints();
    // After the screens changed: a clock that no screen shows any more moves, both windows and
    // its corners, into the nearest screen.
    void KeepOnScreens();
    // Builds the ring region and gives it to the window.
    void MakeRgn();

    bool IsLoaded() const { return m_window != nullptr; }
    FormWindow& Window() { return *m_window; }
    Form1& Hands() { return m_form1; }

  private:
    void Form_Load();
    void Form_Unload();

    ClockState& m_state;
    Platform& m_platform;
    std::unique_ptr<FormWindow> m_window;
    // Element 0 gathers the union of the dots until the window takes it; element 1 holds
    // the latest dot, which stays ours until the window unloads.
    std::array<std::optional<Region>, 2> MarkerRegions;
    // Kept for the whole run: its own tick unloads this window, so it must outlive that call.
    Form1 m_form1;
};

} // namespace reloj
