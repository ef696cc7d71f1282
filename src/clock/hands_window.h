// HandsWindow is the clock's upper window: it lies exactly over the ring of dots, owned by it,
// and is cut to the shape of the hour and minute hands of the time it is told, painted in the
// clock colour with the centre circle over them. It is a view: when it is shown, what time it
// shows and what its events do are the clock tick's (clock_tick.h).
#pragma once

#include "clock/window_place.h"
#include "platform/platform.h"
#include "settings/clock_state.h"

#include <memory>
#include <optional>

namespace reloj {

inline constexpr const char* kHandsTitle = "reloj";

class HandsWindow {
  public:
    HandsWindow(const ClockLayout& layout, Platform& platform);
    ~HandsWindow();

    // Makes the window, hidden, owned by the dots' window and standing where it stands, with
    // its width and height both the dots' width; it reports its events to `events`.
    void Open(Window& dots, const WindowPlace& dotsPlace, WindowEvents& events);
    void Close();
    bool IsOpen() const { return m_window != nullptr; }

    Window& PlatformWindow() { return *m_window; }
    WindowPlace& Place() { return *m_place; }

    // Cuts the window to the hands of that time; a hand style other than 1 or 2 leaves the
    // shape as it is.
    void ShowTime(int32_t hour, int32_t minute);
    // The hands in the clock colour, the centre circle in its contrast colour.
    void Paint(Colour clockColour);

  private:
    const ClockLayout& m_layout;
    Platform& m_platform;
    std::unique_ptr<Window> m_window;
    std::optional<WindowPlace> m_place;
    // The latest minute hand, ours; the union of both hands belongs to the window.
    std::optional<Region> m_minuteRegion;
};

} // namespace reloj
