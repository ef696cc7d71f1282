// MarkerWindow, the ring of hour dots: a bare, square, topmost window cut down to twelve dots,
// showing the clock colour. Opening it sizes, colours and places it, records its corners for
// the automatic colour, cuts the ring and brings up the hands window above it; the hands
// themselves and the colour of the desktop are other units' business.
#pragma once

#include "platform/platform.h"
#include "settings/clock_state.h"

#include <array>
#include <memory>
#include <optional>

namespace reloj {

class HandsWindow;

// Where the marker window stands before its set-up places it, in twips; a position the
// command line leaves at 0 keeps it.
inline constexpr float kMarkerInitialLeft = 7425;
inline constexpr float kMarkerInitialTop = 3300;
inline constexpr const char* kMarkerTitle = "$uhr$";

class MarkerWindow : public WindowEvents {
  public:
    MarkerWindow(ClockState& state, Platform& platform, HandsWindow& hands);
    ~MarkerWindow() override;

    // Opens the window (its set-up runs) and shows it modeless.
    void Show();
    // Tears the window down, the hands window with it.
    void Close();

    // Stores the four corners of the window, in screen pixels, in the shared state.
    void RecordCorners();
    // After the screens changed: a clock that no screen shows any more moves, both windows and
    // its corners, into the nearest screen.
    void KeepOnScreens();
    // Builds the ring region and gives it to the window.
    void CutToRing();

    bool IsOpen() const { return m_window != nullptr; }
    Window& PlatformWindow() { return *m_window; }

  private:
    void SetUp();
    void TearDown();
    // The window's corners where it stands now, in screen pixels.
    std::array<PixelPoint, 4> ScreenCorners() const;

    ClockState& m_state;
    Platform& m_platform;
    HandsWindow& m_hands;
    std::unique_ptr<Window> m_window;
    // Element 0 gathers the union of the dots until the window takes it; element 1 holds
    // the latest dot, which stays ours until the window closes.
    std::array<std::optional<Region>, 2> m_dotRegions;
};

} // namespace reloj
