// The platform on Qt with the xcb (X11) backend: the screen's logical dots per inch,
// windows as QtWindow and the calculator as QtCalculator, topmost placement by raising (when
// StackingWatch says it is due), screen pixels read from the X server (RootPixelReader) or, where
// they cannot be, the desktop's stated look (PortalColourScheme), the screens and their changes
// (ScreenWatch), the local time in the machine's zone as it changes (ZoneWatch), ticks that
// follow jumps of the wall clock (ClockSetWatch), news from the desktop for a clock that sleeps
// between ticks, a modal message box and wave playback. It holds no clock logic. Qt's own
// scaling stays off, so that places, shapes and screen pixels are the screen's own pixels: the
// scale factors a desktop states to Qt programs are taken out of the environment before Qt
// starts, and handed to the clock, which scales itself.
#pragma once

#include "platform/platform.h"
#include "qt/clock_set_watch.h"
#include "qt/portal_colour_scheme.h"
#include "qt/pulse_sound_player.h"
#include "qt/root_pixel_reader.h"
#include "qt/screen_watch.h"
#include "qt/stacking_watch.h"
#include "qt/window_system.h"
#include "qt/zone_watch.h"

#include <QPointer>
#include <QtGui/qwindowdefs.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace reloj {

// The texts of QT_SCALE_FACTOR and QT_SCREEN_SCALE_FACTORS, where they were set.
struct QtScaleVariables {
    std::optional<std::string> everyScreen;
    std::optional<std::string> screens;
};

// Reads and removes both variables, so that Qt scales nothing itself; to be called before the
// application object is made.
QtScaleVariables TakeQtScaleVariables();

class QtPlatform final : public Platform {
  public:
    explicit QtPlatform(QtScaleVariables scaleVariables = {});

    double ScreenDotsPerInchX() const override;
    double ScreenDotsPerInchY() const override;
    std::optional<double> StatedScaleFactor() const override;
    void UseScale(double scale) override;
    std::unique_ptr<Window> CreateWindow(const WindowDescription& description, Window* owner,
                                         WindowEvents& events) override;
    std::unique_ptr<CalculatorView> CreateCalculator(Window& owner, const CalculatorLayout& layout,
                                                     CalculatorEvents& events) override;
    void KeepOnTop(WindowHandle window) override;
    Colour ScreenPixel(int32_t x, int32_t y) override;
    std::vector<Colour> ScreenPixels(const std::vector<PixelPoint>& points) override;
    std::optional<ColourScheme> ColourSchemeInsteadOfPixels() override;
    void WatchDesktop(const std::vector<PixelPoint>& points,
                      std::function<void(DesktopChange)> changed) override;
    LocalTime Now() const override;
    std::vector<PixelRect> ScreenAreas() const override;
    void WatchScreens(std::function<void()> changed) override;
    void MessageBox(Window& owner, const std::string& title, const std::string& text) override;
    void Quit(int status) override;
    void PlaySound(const std::string& path, const std::string& title) override;
    std::string SoundDirectory() const override;

  private:
    // Whether the window and those it owns are all children of the root window: no window
    // manager has framed them, and they can be restacked against each other directly.
    bool SiblingsUnderRoot(xcb_connection_t* connection, const QWidget* window,
                           const std::vector<QWidget*>& owned);
    // Puts the window on top with the windows it owns above it, if another window may have
    // covered it.
    void RaiseWithOwned(QWidget& raised, const std::vector<QWidget*>& owned);
    // The wall clock jumped or the zone changed: every window waiting for a tick ticks soon.
    void TimeChanged();
    // Keeps a window made, while it lives, among those told of a jump of the time.
    void Track(QWidget* window);
    void TellDesktopChange(DesktopChange change);
    // Whether a window at that place on the root overlaps one of ours that is shown.
    bool MayCoverAWindow(const QRect& place) const;

    QtScaleVariables m_scaleVariables;
    RootPixelReader m_rootPixels;
    PortalColourScheme m_portalScheme;
    // Read before the first window is made.
    std::optional<WindowSystem> m_windowSystem;
    // The last answer for each window that owns others: the clock's two windows, so this stays
    // as small as that.
    struct SiblingCheck {
        std::vector<WId> owned;
        bool siblings = false;
    };
    std::map<WId, SiblingCheck> m_siblingChecks;
    ScreenWatch m_screens;
    StackingWatch m_stacking;
    // Now is const to its callers; whether the zone must be read again is the platform's own.
    mutable ZoneWatch m_zone;
    ClockSetWatch m_clockSet;
    // The windows made, while they live, to be told of a jump of the time.
    std::vector<QPointer<QWidget>> m_windows;
    std::function<void(DesktopChange)> m_desktopChanged;
    PulseSoundPlayer m_sounds;
};

} // namespace reloj
