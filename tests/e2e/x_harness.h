// What the end-to-end tests need to meet reloj as a user does: a private Xvfb server and the X
// server's own view of what the program shows there (window places, shapes and screen pixels),
// never Qt's. Mouse and keyboard input go through the XTEST extension, as a real pointer and
// keyboard would. Starting the program itself is left to running_clock.h, and running, waiting
// for and stopping children to process.h.
#pragma once

#include "process.h"

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Xlib stays out of this header: its macros (None, Status, IsViewable...) clash with tests.
struct _XDisplay;

namespace reloj::e2e {

using XDisplay = ::_XDisplay;
using XWindow = unsigned long;

// What the program shows, as a user meets it: its windows' titles.
inline constexpr const char* kMarkerTitle = "$uhr$";
inline constexpr const char* kHandsTitle = "reloj";
inline constexpr const char* kClosingTitle = "^Quorvix^ Velmaro....";
inline constexpr const char* kCalculatorTitle =
    "Calcula La Edad De Quien Desees Con Esta Utilidad...";

// Where the hands meet in a default clock at (718, 5), 76 pixels wide: both hands start there,
// whatever the time.
inline constexpr int kDefaultHandsCentreX = 756;
inline constexpr int kDefaultHandsCentreY = 43;

// X button numbers.
inline constexpr unsigned kLeftButton = 1;
inline constexpr unsigned kRightButton = 3;

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
    friend bool operator==(const Rect&, const Rect&) = default;
};

void PrintTo(const Rect& r, std::ostream* out);

// Screen pixels of a rectangle, as the X server shows them.
struct ScreenArea {
    Rect area;
    std::vector<unsigned long> pixels; // 0xRRGGBB, row by row
    // The pixel at a screen point inside the area.
    unsigned long At(int x, int y) const {
        return pixels[static_cast<std::size_t>((y - area.top) * (area.right - area.left) +
                                               (x - area.left))];
    }
};

class XServer {
  public:
    // A fresh Xvfb with one screen, 1280x1024 unless another size ("3840x2160") is given; dpi,
    // when given, is announced as Xft.dpi.
    explicit XServer(std::optional<int> dpi = std::nullopt,
                     const std::string& screenSize = "1280x1024");
    // An X server that runs already, such as a Wayland desktop's XWayland: opened, not started,
    // with the authority file given (empty for none).
    XServer(const std::string& displayName, const std::string& authority);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& DisplayName() const { return m_name; }
    XDisplay* Dpy() const { return m_display; }

    // Paints the desktop (the root window) in one colour, 0xRRGGBB.
    void SetDesktopColour(unsigned long rgb);
    // Resizes the screen as xrandr --fb does (a laptop leaving its external monitor); says
    // whether the root window now has that size. Xvfb keeps its one output at the size it
    // started with and refuses that part, so xrandr's own status is not what counts.
    bool SetScreenSize(int width, int height) const;

    // The first viewable top-level window with that title, waiting for it up to the timeout; a
    // window manager's frame around it is looked into.
    std::optional<XWindow> WaitForWindow(const std::string& title,
                                         std::chrono::milliseconds timeout = 10s) const;
    bool Viewable(XWindow window) const;
    // The window's outer rectangle in root coordinates.
    Rect Geometry(XWindow window) const;
    // The window's bounding shape, relative to its top-left corner.
    std::vector<Rect> Shape(XWindow window) const;
    // The screen pixel at a point, 0xRRGGBB.
    unsigned long Pixel(int x, int y) const;
    // The screen pixels inside an area, 0xRRGGBB, read in one request.
    ScreenArea Capture(const Rect& area) const;
    // Saves the screen, or the part of it inside `area`, as a PNG file.
    bool SavePng(const std::string& path, std::optional<Rect> area = std::nullopt) const;

    XWindow Root() const;
    // The window, or the window manager's frame around it: the root's child that holds it.
    XWindow TopLevel(XWindow window) const;
    // The bits per pixel of the window's visual.
    int Depth(XWindow window) const;
    // A property of 32-bit values (CARDINAL, WINDOW), and one of atoms by their names; empty
    // when the window has none.
    std::vector<unsigned long> Numbers(XWindow window, const std::string& property) const;
    std::vector<std::string> AtomNames(XWindow window, const std::string& property) const;
    // The window that has the keyboard focus.
    XWindow FocusWindow() const;
    // Sends the window manager a request about a window, as a pager or a client does (EWMH).
    void AskWindowManager(XWindow window, const std::string& message,
                          const std::vector<long>& data) const;

    // Whether a client owns the selection of that name (a compositing manager owns
    // _NET_WM_CM_S0).
    bool SelectionOwned(const std::string& selection) const;

    // The top-level windows, bottom to top.
    std::vector<XWindow> StackingOrder() const;
    // Maps a plain window of our own, of one colour (0xRRGGBB), over the given place and raises
    // it to the top; its size is fixed, so that a tiling window manager floats it, unless
    // `fixedSize` is false: a tiling manager then tiles it as it tiles a user's windows.
    XWindow Cover(const Rect& place, unsigned long rgb = 0x00FF00, bool fixedSize = true) const;

    // Takes a window of ours off the screen for good.
    void Remove(XWindow window) const;

    // Paints a window of ours in one colour (0xRRGGBB) again, as a busy program redraws.
    void Redraw(XWindow window, unsigned long rgb) const;

    void MovePointer(int x, int y) const;
    void Button(unsigned button, bool press) const;
    // Presses or releases the key of a keysym name such as "Return".
    void Key(const std::string& keysym, bool press) const;
    // Gives a window the keyboard focus; with no window manager nothing else would.
    void Focus(XWindow window) const;

  private:
    std::optional<Process> m_xvfb;
    std::string m_name;
    XDisplay* m_display = nullptr;
};

// Follows the order of the root's children from the X server's own news of every change, on a
// connection of its own, so that an order that lasted only between two requests is seen too:
// polling the order can miss it, and the screen shows it. Begins with the order at its making.
class StackingRecorder {
  public:
    explicit StackingRecorder(const XServer& server);
    ~StackingRecorder();
    StackingRecorder(const StackingRecorder&) = delete;
    StackingRecorder& operator=(const StackingRecorder&) = delete;

    // Takes in the news that has come so far, and returns the first order it passed through,
    // bottom to top, for which `wrong` is true; none if there was none.
    std::optional<std::vector<XWindow>>
    FirstOrderWhere(const std::function<bool(const std::vector<XWindow>&)>& wrong);

  private:
    XDisplay* m_display = nullptr;
    std::vector<XWindow> m_order;
};

// The screen pixels of an open display inside an area; no pixels when it cannot be read.
ScreenArea CaptureScreen(XDisplay* display, const Rect& area);

// Saves the screen of an open display, or the part of it inside `area`, as a PNG file.
bool SaveScreen(XDisplay* display, const std::string& path, std::optional<Rect> area);

// Pixels as (x, y) pairs.
using PixelSet = std::set<std::pair<int, int>>;

// Every pixel a list of rectangles covers.
PixelSet Pixels(const std::vector<Rect>& rects);

// The smallest rectangle holding all the pixels; empty for none.
Rect Bounds(const PixelSet& pixels);

// Connected pixel groups of a shape, each by its bounding rectangle, in reading order.
std::vector<Rect> ShapeComponents(const std::vector<Rect>& shape, int width, int height);

} // namespace reloj::e2e
