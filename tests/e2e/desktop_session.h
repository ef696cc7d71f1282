// A Wayland desktop started headless for the end-to-end tests, with its XWayland: GNOME Shell,
// KWin or sway, each on a private runtime directory and session bus, as the clock meets them
// when a user logs in to them. It says which X display and authority file X clients use, and
// takes screenshots as the compositor itself draws the screen, which is what the user sees;
// the X server's idea of its windows is no judge here. Starting the clock on it is left to
// running_clock.h, and input to x_harness.h (XTEST reaches XWayland's clients directly).
// An X11 window manager is started the same way on an X server of the tests' own. What a
// screen must show of a clock at 10:10 is judged here too, for screenshots and for the
// pixels of an X server alike.
#pragma once

#include "process.h"
#include "x_harness.h"

#include <QImage>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace reloj::e2e {

// A point of the screen, and what a pixel there must show.
struct ScreenPoint {
    int x, y;
};
struct Expectation {
    const char* what;
    ScreenPoint at;
    QRgb colour; // 0xRRGGBB
};

// The point `radius` pixels from `centre` at an angle clockwise from twelve o'clock.
ScreenPoint Around(ScreenPoint centre, int radius, double degrees);

// What the screen must show of a 200-pixel clock with bar hands centred at `centre` at 10:10 in
// the given colour over something of the colour `gaps`: the twelve dots, both hands, and
// `gaps` between them and in the square's corners, where a window shown whole would give
// itself away.
std::vector<Expectation> ClockAt10h10(ScreenPoint centre, QRgb colour, QRgb gaps);

// What the screen shows wrong; empty when all is as expected. Each point may be off by a pixel,
// as rounding in the drawing of a thin hand may put it, and each colour by a few levels.
std::string Mismatches(const QImage& shot, const std::vector<Expectation>& expected);

enum class Desktop { Gnome, KWin, Sway };

const char* DesktopName(Desktop desktop);

// The programs the desktop is started with, and takes its screenshots with, that are not
// installed here.
std::vector<std::string> MissingPrograms(Desktop desktop);

class DesktopSession {
  public:
    // Starts the desktop and waits for its XWayland; Problem() says why when it could not.
    explicit DesktopSession(Desktop desktop);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Empty while the desktop runs.
    const std::string& Problem() const { return m_problem; }
    const std::string& XDisplayName() const { return m_xDisplay; }
    // The authority file X clients present; empty where none is asked for.
    const std::string& XAuthority() const { return m_xAuthority; }
    // The whole screen as the compositor draws it; a null image when it cannot be had.
    QImage Screenshot() const;
    // Leaves GNOME Shell's overview, which it opens at the start and may open again as the
    // first windows come; elsewhere nothing.
    void LeaveOverview() const;

  private:
    void StartGnome();
    // Empty when the shell took the change; otherwise the bus's error.
    std::string SetOverview(bool active) const;
    void StartKWin();
    void StartSway();
    // The XWayland the compositor started: its display and authority file, from its command
    // line, once it is there.
    bool FindXWayland(pid_t compositor, std::chrono::milliseconds timeout);
    QImage GnomeScreenshot() const;
    QImage KWinScreenshot() const;
    QImage SwayScreenshot() const;

    Desktop m_desktop;
    TempDir m_dir;
    std::string m_runtime;
    std::string m_sessionBus;
    std::string m_busConnection;
    std::vector<std::unique_ptr<Process>> m_processes; // started in order, stopped in reverse
    std::string m_problem;
    std::string m_xDisplay;
    std::string m_xAuthority;
};

// An X11 window manager started on an X server of the tests', as a user's session starts it:
// in a session bus of its own (dbus-run-session) with a private home, so that no setting of
// the machine's reaches it. Ready once the root's _NET_SUPPORTING_WM_CHECK names a live window.
enum class WindowManager { Openbox, Xfwm4, Xfwm4Compositing, I3, Fluxbox, IceWM, KWin, Mutter };

const char* WindowManagerName(WindowManager manager);

class WindowManagerSession {
  public:
    WindowManagerSession(WindowManager manager, const XServer& server);
    ~WindowManagerSession();
    WindowManagerSession(const WindowManagerSession&) = delete;
    WindowManagerSession& operator=(const WindowManagerSession&) = delete;

    // Empty while the manager runs; otherwise why it does not, and whether that is because it
    // is not installed.
    const std::string& Problem() const { return m_problem; }
    bool Missing() const { return m_missing; }
    // Makes another workspace the current one, as a pager or a key binding would.
    void ShowWorkspace(int number) const;

  private:
    WindowManager m_manager;
    const XServer& m_server;
    TempDir m_home;
    TempDir m_runtime;
    std::map<std::string, std::string> m_environment;
    std::unique_ptr<Process> m_process;
    std::string m_problem;
    bool m_missing = false;
};

} // namespace reloj::e2e
