// What the end-to-end tests need to meet reloj as a user does: a private Xvfb server, the real
// program started as a separate process with its own environment, and the X server's own view
// of the result (window places, shapes and screen pixels), never Qt's. Mouse input goes through
// the XTEST extension, as a real pointer would.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

// Xlib stays out of this header: its macros (None, Status, IsViewable...) clash with tests.
struct _XDisplay;

namespace reloj::e2e {

using XDisplay = ::_XDisplay;
using XWindow = unsigned long;

using namespace std::chrono_literals;

// What the program shows, as a user meets it: its windows' titles.
inline constexpr const char* kMarkerTitle = "$uhr$";
inline constexpr const char* kHandsTitle = "reloj";
inline constexpr const char* kClosingTitle = "^Quorvix^ Velmaro....";
inline constexpr const char* kCalculatorTitle =
    "Calcula La Edad De Quien Desees Con Esta Utilidad...";

// The library that sets the program's clock (FAKETIME) without touching the machine's.
inline constexpr const char* kFakeTimeLibrary =
    "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// X button numbers.
inline constexpr unsigned kLeftButton = 1;
inline constexpr unsigned kRightButton = 3;

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
    friend bool operator==(const Rect&, const Rect&) = default;
};

void PrintTo(const Rect& r, std::ostream* out);

// A temporary directory removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

class XServer {
  public:
    // A fresh Xvfb with one 1280x1024 screen; dpi, when given, is announced as Xft.dpi.
    explicit XServer(std::optional<int> dpi = std::nullopt);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& DisplayName() const { return m_name; }
    XDisplay* Dpy() const { return m_display; }

    // Paints the desktop (the root window) in one colour, 0xRRGGBB.
    void SetDesktopColour(unsigned long rgb);

    // The first viewable top-level window with that title, waiting for it up to the timeout.
    std::optional<XWindow> WaitForWindow(const std::string& title,
                                        std::chrono::milliseconds timeout = 10s) const;
    bool Viewable(XWindow window) const;
    // The window's outer rectangle in root coordinates.
    Rect Geometry(XWindow window) const;
    // The window's bounding shape, relative to its top-left corner.
    std::vector<Rect> Shape(XWindow window) const;
    // The screen pixel at a point, 0xRRGGBB.
    unsigned long Pixel(int x, int y) const;
    // Saves the screen, or the part of it inside `area`, as a PNG file.
    bool SavePng(const std::string& path, std::optional<Rect> area = std::nullopt) const;

    // The top-level windows, bottom to top.
    std::vector<XWindow> StackingOrder() const;
    // Maps a plain window of our own over the given place and raises it to the top.
    XWindow Cover(const Rect& place) const;

    void MovePointer(int x, int y) const;
    void Button(unsigned button, bool press) const;
    // Presses or releases the key of a keysym name such as "Return".
    void Key(const std::string& keysym, bool press) const;
    // Gives a window the keyboard focus; with no window manager nothing else would.
    void Focus(XWindow window) const;

  private:
    pid_t m_pid = -1;
    std::string m_name;
    XDisplay* m_display = nullptr;
};

// The real reloj, started with a command line (one argument or none) and extra environment.
class Program {
  public:
    // `wrapper`, when given, runs the program: an absolute path and its arguments, such as a
    // tracer, before the program's own path.
    Program(const XServer& server, const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment = {},
            const std::vector<std::string>& wrapper = {});
    ~Program();

    // The exit status once the program has ended within the timeout; a death by signal is
    // reported as 128 + the signal number.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
    bool Running();
    std::string ErrorOutput() const;
    pid_t Pid() const { return m_pid; }

  private:
    TempDir m_dir;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// Saves the screen of an open display, or the part of it inside `area`, as a PNG file.
bool SaveScreen(XDisplay* display, const std::string& path, std::optional<Rect> area);

// Pixels as (x, y) pairs.
using PixelSet = std::set<std::pair<int, int>>;

// Every pixel a list of rectangles covers.
PixelSet Pixels(const std::vector<Rect>& rects);

// The smallest rectangle holding all the pixels; empty for none.
Rect Bounds(const PixelSet& pixels);

// Asks `condition` again every `interval` until it holds or the timeout has passed; says
// whether it held. The condition is asked at least once, and once more at the deadline.
template <typename Condition>
bool PollUntil(Condition condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = 20ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(interval);
    }
    return true;
}

// Connected pixel groups of a shape, each by its bounding rectangle, in reading order.
std::vector<Rect> ShapeComponents(const std::vector<Rect>& shape, int width, int height);

} // namespace reloj::e2e
