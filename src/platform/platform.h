// The ports: what the clock's logic needs from the desktop, as small interfaces. Windows placed,
// sized and shaped in screen pixels and told their colours; the calculator (calculator_view.h);
// topmost placement; the screen's pixels and density; sound; the wall clock. The logic calls
// only these; qt/ provides them on Qt, and the unit tests provide a fake that records what it
// was asked. Lengths cross a port only as screen pixels: the logic converts its own units
// before it asks.
#pragma once

#include "core/colour.h"
#include "core/local_time.h"
#include "core/region.h"
#include "platform/calculator_view.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace reloj {

// The mouse button a press or release is about; a movement reports the sum of the buttons
// held instead, so the values are bits.
enum MouseButton : int16_t {
    kOtherButton = 0, // a button the clock gives no meaning to
    kLeftButton = 1,
    kRightButton = 2,
    kMiddleButton = 4,
};

// A mouse position in screen pixels from a window's top-left corner; the window system may
// report parts of a pixel.
struct MousePoint {
    double x = 0;
    double y = 0;
};

// What a window reports to the logic that drives it. Every handler runs on the user-interface
// thread, one at a time.
class WindowEvents {
  public:
    virtual ~WindowEvents() = default;
    virtual void OnMousePress(MouseButton /*button*/, MousePoint /*at*/) {}
    // `heldButtons` is the sum of the MouseButton values held down.
    virtual void OnMouseMove(int16_t /*heldButtons*/, MousePoint /*at*/) {}
    virtual void OnMouseRelease(MouseButton /*button*/, MousePoint /*at*/) {}
    virtual void OnClick() {}
    virtual void OnDoubleClick() {}
    virtual void OnTick() {}
};

// A window as the logic names it: an opaque number the platform hands out.
using WindowHandle = std::uintptr_t;

// How a window is made: a bare, unlisted, topmost clock window with this title.
struct WindowDescription {
    std::string title;
};

// A filled disc painted over a window's face, in screen pixels from the window's top-left
// corner; the window system may place its centre and radii on parts of a pixel.
struct Disc {
    double centreX = 0;
    double centreY = 0;
    double radiusX = 0;
    double radiusY = 0;
    Colour colour = 0;
    friend bool operator==(const Disc&, const Disc&) = default;
};

// One window on the desktop, in screen pixels.
class Window {
  public:
    virtual ~Window() = default;

    // Where the window stands now: a window manager may have put it elsewhere than asked.
    virtual PixelRect Frame() const = 0;
    // Puts the window's top-left corner at that screen pixel, and keeps it there.
    virtual void MoveTo(PixelPoint topLeft) = 0;
    // At least a pixel each way.
    virtual void Resize(int32_t width, int32_t height) = 0;

    // What the window shows inside its shape: the face colour all over and, where given, a disc
    // over it. Each call replaces the one before.
    virtual void SetColours(Colour face, std::optional<Disc> disc) = 0;
    // The window's visible and clickable area becomes the region; the window keeps it.
    virtual void SetShape(Region region) = 0;

    virtual WindowHandle Handle() const = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;

    // Asks for the window's next tick: OnTick runs once, shortly after the wall-clock second
    // `epochSecond` begins, or at once if it has begun; each call replaces the one before. A
    // window that is waiting for its tick ticks at the start of the next second instead when
    // the wall clock is set, the machine wakes from sleep or the time zone changes, so that
    // it never sleeps through a change of the time it shows.
    virtual void TickAt(int64_t epochSecond) = 0;
};

// News from the desktop that may give the clock's tick work.
enum class DesktopChange : uint8_t {
    Stacking, // another window may have covered the clock's windows
    Look,     // the pixels at a watched point, or the desktop's stated look, may have changed
};

// The desktop's preference for its own look, numbered as desktops publish it.
enum class ColourScheme : uint8_t { NoPreference = 0, PreferDark = 1, PreferLight = 2 };

class Platform {
  public:
    virtual ~Platform() = default;

    // The primary screen's dots per inch, as it reports them; they may be nonsense.
    virtual double ScreenDotsPerInchX() const = 0;
    virtual double ScreenDotsPerInchY() const = 0;
    // The scale factor the desktop states for programs on the primary screen apart from its
    // dots per inch, if it states one.
    virtual std::optional<double> StatedScaleFactor() const { return std::nullopt; }
    // The device pixels per pixel of the clock's layout (1 up to 120 dpi; the desktop's factor
    // on a denser screen): the text of the windows made afterwards follows it. Told once,
    // before the first window is made.
    virtual void UseScale(double scale) = 0;

    // Makes a window, hidden, that reports its events to `events`. An owned window always
    // stays above its owner, and goes on top with it whenever the owner is kept on top.
    virtual std::unique_ptr<Window> CreateWindow(const WindowDescription& description,
                                                 Window* owner, WindowEvents& events) = 0;
    // Makes the calculator's window, hidden, laid out as given, owned by `owner` as an owned
    // window is, opening centred on the screen, that reports its events to `events`.
    virtual std::unique_ptr<CalculatorView> CreateCalculator(Window& owner,
                                                             const CalculatorLayout& layout,
                                                             CalculatorEvents& events) = 0;

    // Puts the window at the top of the topmost band without moving, resizing or activating it,
    // with every shown window it owns above it, each above its own owner (the clock's hands
    // above its dots, the calculator and the closing box above the hands). Cheap when nothing
    // has covered them: the platform skips what is already in place.
    virtual void KeepOnTop(WindowHandle window) = 0;

    // The colour shown on the screen at a point in screen pixels, 0x00BBGGRR, or -1 when the
    // point lies outside every screen or cannot be read.
    virtual Colour ScreenPixel(int32_t x, int32_t y) = 0;
    // Several points at once, in order; a platform may read them in one exchange.
    virtual std::vector<Colour> ScreenPixels(const std::vector<PixelPoint>& points) {
        std::vector<Colour> colours;
        for (const PixelPoint& p : points) {
            colours.push_back(ScreenPixel(p.x, p.y));
        }
        return colours;
    }

    // Where the screen's pixels cannot be read at all (a compositor outside the X server draws
    // the screen, as under XWayland), the desktop's stated preference for a light or a dark
    // look, which the automatic colour follows instead; nothing where the pixels can be read.
    // Asking must cost no more than a chosen colour does.
    virtual std::optional<ColourScheme> ColourSchemeInsteadOfPixels() { return std::nullopt; }

    // Calls `changed` after news from the desktop, until called again: when another window
    // may have covered the clock's, and when what the automatic colour reads may have changed
    // (the screen's pixels at one of `points`, or the desktop's stated look). A change of the
    // pixels is told once, and again only after they have been read (ScreenPixels). An empty
    // function stops the calls.
    virtual void WatchDesktop(const std::vector<PixelPoint>& points,
                              std::function<void(DesktopChange)> changed) = 0;

    virtual LocalTime Now() const = 0;

    // The area of each screen, in screen pixels.
    virtual std::vector<PixelRect> ScreenAreas() const = 0;
    // Calls `changed` after every change of the screens (one added, removed, resized or moved)
    // until called again; an empty function stops the calls.
    virtual void WatchScreens(std::function<void()> changed) = 0;

    // A modal message box with one OK button and no icon, each line of the text on one line;
    // returns when it is dismissed. Like an owned window, it stays above its owner.
    virtual void MessageBox(Window& owner, const std::string& title, const std::string& text) = 0;

    // Ends the program with the given status once the current event has been handled.
    virtual void Quit(int status) = 0;

    // Plays a wave file in the background and returns at once; `title` says in words what the
    // sound is, for whoever lists what plays (a desktop's mixer). The same file played again
    // while it still sounds starts over from its start. Failures are silent: a file that is
    // missing or broken, or no sound server, leaves the sound unheard and nothing else changed.
    // What is kept between plays is the platform's business.
    virtual void PlaySound(const std::string& path, const std::string& title) = 0;
    // The directory of the clock's wave files, ending in "/".
    virtual std::string SoundDirectory() const = 0;
};

} // namespace reloj
