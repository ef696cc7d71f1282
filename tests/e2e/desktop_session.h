// A Wayland desktop started headless for the end-to-end tests, with its XWayland: GNOME Shell,
// KWin or sway, each on a private runtime directory and session bus, as the clock meets them
// when a user logs in to them. It says which X display and authority file X clients use, and
// takes screenshots as the compositor itself draws the screen, which is what the user sees;
// the X server's idea of its windows is no judge here. Starting the clock on it is left to
// running_clock.h, and input to x_harness.h (XTEST reaches XWayland's clients directly).
#pragma once

#include "process.h"

#include <QImage>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace reloj::e2e {

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
    bool SetOverview(bool active) const;
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

} // namespace reloj::e2e
