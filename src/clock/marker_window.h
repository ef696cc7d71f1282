// MarkerWindow, the ring of hour dots: a bare, square, topmost window cut down to twelve dots,
// showing the clock colour. It is a view: where it stands, when it opens and what colour it
// shows are the clock tick's (clock_tick.h); the hands are another window, which it owns.
#pragma once

#include "clock/window_place.h"
#include "platform/platform.h"
#include "settings/clock_state.h"

#include <array>
#include <memory>
#include <optional>

namespace reloj {

// Where the marker window stands before its set-up places it, in twips; a position the
// command line leaves at 0 keeps it.
inline constexpr float kMarkerInitialLeft = 7425;
inline constexpr float kMarkerInitialTop = 3300;
inline constexpr const char* kMarkerTitle = "$uhr$";

class MarkerWindow {
  public:
    MarkerWindow(const ClockLayout& layout, Platform& platform);
    ~MarkerWindow();

    // Makes the window, hidden, square and where the command line asked (else at its own
    // initial place), reporting its events to `events`.
    void Open(WindowEvents& events);
    void Close();
    bool IsOpen() const { return m_window != nullptr; }

    Window& PlatformWindow() { return *m_window; }
    WindowPlace& Place() { return *m_place; }
    const WindowPlace& Place() const { return *m_place; }

    // The window's four corners where it stands now, in screen pixels; the right and bottom
    // ones lie just outside it.
    std::array<PixelPoint, 4> ScreenCorners() const;
    // Builds the ring region and gives it to the window.
    void CutToRing();
    void Paint(Colour clockColour);

  private:
    const ClockLayout& m_layout;
    Platform& m_platform;
    std::unique_ptr<Window> m_window;
    std::optional<WindowPlace> m_place;
    // Element 0 gathers the union of the dots until the window takes it; element 1 holds
    // the latest dot, which stays ours until the window closes.
    std::array<std::optional<Region>, 2> m_dotRegions;
};

} // namespace reloj
