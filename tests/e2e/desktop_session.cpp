#include "desktop_session.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace reloj::e2e {

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;
const std::string kSize = "1280x1024";
constexpr auto kStartTimeout = 40s;
// sway will not run as root; its clients and tools run as this user. The change of user clears
// the signal a child gets when the test dies, which is asked for again, so that a test that
// crashes leaves no desktop running.
const std::vector<std::string> kAsNobody = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                            "--clear-groups", "--pdeathsig=KILL"};
const std::string kDbusDaemon = "/usr/bin/dbus-daemon";
const std::string kGnomeShell = "/usr/bin/gnome-shell";
const std::string kKWin = "/usr/bin/kwin_wayland";
const std::string kSway = "/usr/bin/sway";
const std::string kGrim = "/usr/bin/grim";
// Started by each compositor, from PATH.
const std::string kXWayland = "Xwayland";

std::vector<std::string> CommandLineOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> words;
    std::string word;
    while (std::getline(file, word, '\0')) {
        words.push_back(word);
    }
    return words;
}

std::optional<pid_t> ParentOf(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const auto end = stat.rfind(')');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    char state = 0;
    int parent = 0;
    if (std::sscanf(stat.c_str() + end + 1, " %c %d", &state, &parent) != 2) {
        return std::nullopt;
    }
    return parent;
}

std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") == std::string::npos &&
            ParentOf(std::stoi(name)) == pid) {
            children.push_back(std::stoi(name));
        }
    }
    return children;
}

std::map<std::string, std::string> DesktopEnvironment(const std::string& runtime,
                                                      const std::string& home) {
    auto env = InheritedEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM",
                             "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"}) {
        env.erase(name);
    }
    env["XDG_RUNTIME_DIR"] = runtime;
    env["HOME"] = home;
    return env;
}

} // namespace

const char* DesktopName(Desktop desktop) {
    switch (desktop) {
    case Desktop::Gnome:
        return "GNOME";
    case Desktop::KWin:
        return "KWin";
    case Desktop::Sway:
        return "sway";
    }
    return "?";
}

std::vector<std::string> MissingPrograms(Desktop desktop) {
    switch (desktop) {
    case Desktop::Gnome:
        return MissingPrograms({kDbusDaemon, kGnomeShell, kXWayland});
    case Desktop::KWin:
        return MissingPrograms({kDbusDaemon, kKWin, kXWayland});
    case Desktop::Sway:
        return MissingPrograms({kAsNobody.front(), kSway, kGrim, kXWayland, "xhost", "xev"});
    }
    return {};
}

DesktopSession::DesktopSession(Desktop desktop)
    : m_desktop(desktop), m_runtime(m_dir.Path() + "/run") {
    static std::atomic<int> counter{0};
    m_busConnection = "reloj-e2e-desktop-" + std::to_string(getpid()) + "-" +
                      std::to_string(counter.fetch_add(1));
    // sway's user must reach its runtime directory and the files it shares with the test.
    chmod(m_dir.Path().c_str(), 0755);
    mkdir(m_runtime.c_str(), 0700);
    mkdir((m_dir.Path() + "/home").c_str(), 0700);
    try {
        switch (desktop) {
        case Desktop::Gnome:
            StartGnome();
            break;
        case Desktop::KWin:
            StartKWin();
            break;
        case Desktop::Sway:
            StartSway();
            break;
        }
    } catch (const std::exception& e) {
        m_problem = e.what();
    }
}

DesktopSession::~DesktopSession() {
    QDBusConnection::disconnectFromBus(QString::fromStdString(m_busConnection));
    while (!m_processes.empty()) {
        m_processes.back()->Stop(SIGTERM, 5s);
        m_processes.pop_back();
    }
}

bool DesktopSession::FindXWayland(pid_t compositor, std::chrono::milliseconds timeout) {
    return PollUntil(
        [&] {
            for (pid_t child : ChildrenOf(compositor)) {
                const auto words = CommandLineOf(child);
                if (words.empty() || words[0].find("Xwayland") == std::string::npos) {
                    continue;
                }
                for (std::size_t i = 1; i < words.size(); ++i) {
                    if (words[i].starts_with(":")) {
                        m_xDisplay = words[i];
                    } else if (words[i] == "-auth" && i + 1 < words.size()) {
                        m_xAuthority = words[i + 1];
                    }
                }
                return !m_xDisplay.empty();
            }
            return false;
        },
        timeout, 100ms);
}

// GNOME Shell wants a system bus as well; a second private bus stands in for it.
void DesktopSession::StartGnome() {
    const auto env = DesktopEnvironment(m_runtime, m_dir.Path() + "/home");
    for (const char* bus : {"/sysbus", "/bus"}) {
        m_processes.push_back(std::make_unique<Process>(Process::Options{
            .command = {kDbusDaemon, "--session", "--address=unix:path=" + m_dir.Path() + bus,
                        "--nofork", "--nopidfile", "--print-address"},
            .environment = env}));
        if (m_processes.back()->FirstLine(20s).empty()) {
            throw std::runtime_error("dbus-daemon did not start");
        }
    }
    m_sessionBus = "unix:path=" + m_dir.Path() + "/bus";
    auto shellEnv = env;
    shellEnv["DBUS_SESSION_BUS_ADDRESS"] = m_sessionBus;
    shellEnv["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + m_dir.Path() + "/sysbus";
    m_processes.push_back(std::make_unique<Process>(
        Process::Options{.command = {kGnomeShell, "--wayland", "--headless", "--virtual-monitor",
                                     kSize, "--wayland-display=wl-reloj"},
                         .environment = shellEnv}));
    Process& shell = *m_processes.back();
    if (!FindXWayland(shell.Pid(), kStartTimeout)) {
        throw std::runtime_error("GNOME Shell started no XWayland: " + shell.ErrorOutput());
    }
    // The shell opens on its overview, which covers every window.
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_sessionBus),
                                                        QString::fromStdString(m_busConnection));
    std::string refusal;
    if (!PollUntil(
            [&] {
                refusal = SetOverview(false);
                return refusal.empty();
            },
            kStartTimeout, 200ms)) {
        throw std::runtime_error("GNOME Shell's overview could not be closed (" + refusal +
                                 "): " + shell.ErrorOutput());
    }
    // Only a caller that owns this name may take screenshots.
    bus.interface()->registerService("org.gnome.Screenshot");
}

std::string DesktopSession::SetOverview(bool active) const {
    QDBusMessage set = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                      "org.freedesktop.DBus.Properties", "Set");
    set << QString("org.gnome.Shell") << QString("OverviewActive")
        << QVariant::fromValue(QDBusVariant(active));
    const QDBusMessage reply = QDBusConnection(QString::fromStdString(m_busConnection)).call(set);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return "";
    }
    return (reply.errorName() + ": " + reply.errorMessage()).toStdString();
}

void DesktopSession::LeaveOverview() const {
    if (m_desktop == Desktop::Gnome) {
        SetOverview(false);
    }
}

// The packaged kwin_wayland carries a file capability that a sandbox may refuse to execute; a
// plain copy runs anywhere.
void DesktopSession::StartKWin() {
    const auto env = DesktopEnvironment(m_runtime, m_dir.Path() + "/home");
    m_processes.push_back(std::make_unique<Process>(Process::Options{
        .command = {kDbusDaemon, "--session", "--address=unix:path=" + m_dir.Path() + "/bus",
                    "--nofork", "--nopidfile", "--print-address"},
        .environment = env}));
    if (m_processes.back()->FirstLine(20s).empty()) {
        throw std::runtime_error("dbus-daemon did not start");
    }
    m_sessionBus = "unix:path=" + m_dir.Path() + "/bus";
    const std::string kwin = m_dir.Path() + "/kwin_wayland";
    std::filesystem::copy_file(kKWin, kwin);
    auto kwinEnv = env;
    kwinEnv["DBUS_SESSION_BUS_ADDRESS"] = m_sessionBus;
    kwinEnv["KWIN_SCREENSHOT_NO_PERMISSION_CHECKS"] = "1";
    m_processes.push_back(std::make_unique<Process>(Process::Options{
        .command = {kwin, "--virtual", "--xwayland", "--width", std::to_string(kWidth), "--height",
                    std::to_string(kHeight), "--socket", "wl-reloj", "--no-lockscreen"},
        .environment = kwinEnv}));
    Process& compositor = *m_processes.back();
    if (!FindXWayland(compositor.Pid(), kStartTimeout)) {
        throw std::runtime_error("KWin started no XWayland: " + compositor.ErrorOutput());
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_sessionBus),
                                                        QString::fromStdString(m_busConnection));
    if (!PollUntil([&] { return bus.interface()->isServiceRegistered("org.kde.KWin").value(); },
                   kStartTimeout, 200ms)) {
        throw std::runtime_error("KWin is not on its bus");
    }
}

// sway starts XWayland with its first X client and stops it with its last: a client of its
// own keeps it, after letting root's clients in. It writes the display's name for the test.
void DesktopSession::StartSway() {
    const std::string shared = m_dir.Path() + "/shared";
    mkdir(shared.c_str(), 0777);
    chmod(shared.c_str(), 0777);
    if (chown(m_runtime.c_str(), 65534, 65534) != 0) {
        throw std::runtime_error("cannot give the runtime directory to nobody");
    }
    const std::string config = shared + "/config";
    std::ofstream(config) << "xwayland enable\n"
                          << "output HEADLESS-1 resolution " << kSize << " position 0 0\n"
                          << "exec xhost +si:localuser:root >/dev/null && echo \"$DISPLAY\" > "
                          << shared << "/display.new && mv " << shared << "/display.new " << shared
                          << "/display && exec xev -root >/dev/null\n";
    chmod(config.c_str(), 0644);
    auto env = DesktopEnvironment(m_runtime, shared);
    env["WLR_BACKENDS"] = "headless";
    env["WLR_LIBINPUT_NO_DEVICES"] = "1";
    env["WLR_RENDERER"] = "pixman";
    auto command = kAsNobody;
    command.insert(command.end(), {kSway, "-c", config});
    m_processes.push_back(
        std::make_unique<Process>(Process::Options{.command = command, .environment = env}));
    Process& compositor = *m_processes.back();
    std::string display;
    if (!PollUntil(
            [&] {
                display = ReadFile(shared + "/display");
                return !display.empty();
            },
            kStartTimeout, 100ms)) {
        throw std::runtime_error("sway started no XWayland: " + compositor.ErrorOutput());
    }
    m_xDisplay = display.substr(0, display.find('\n'));
}

QImage DesktopSession::Screenshot() const {
    switch (m_desktop) {
    case Desktop::Gnome:
        return GnomeScreenshot();
    case Desktop::KWin:
        return KWinScreenshot();
    case Desktop::Sway:
        return SwayScreenshot();
    }
    return {};
}

QImage DesktopSession::GnomeScreenshot() const {
    static std::atomic<int> counter{0};
    const std::string path =
        m_dir.Path() + "/shot-" + std::to_string(counter.fetch_add(1)) + ".png";
    QDBusConnection bus(QString::fromStdString(m_busConnection));
    QDBusMessage call =
        QDBusMessage::createMethodCall("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                                       "org.gnome.Shell.Screenshot", "Screenshot");
    call << false << false << QString::fromStdString(path);
    bus.call(call);
    QImage image(QString::fromStdString(path));
    std::filesystem::remove(path);
    return image;
}

// KWin writes the pixels into the descriptor it is given, after it has answered with their
// size and format: a regular file, read once it holds them all.
QImage DesktopSession::KWinScreenshot() const {
    const std::string path = m_dir.Path() + "/shot.raw";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        return {};
    }
    QDBusConnection bus(QString::fromStdString(m_busConnection));
    QDBusMessage call = QDBusMessage::createMethodCall("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                                       "org.kde.KWin.ScreenShot2", "CaptureArea");
    call << 0 << 0 << static_cast<uint>(kWidth) << static_cast<uint>(kHeight)
         << QVariant::fromValue(QVariantMap()) << QVariant::fromValue(QDBusUnixFileDescriptor(fd));
    const QDBusMessage reply = bus.call(call);
    close(fd);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    const QVariantMap results = qdbus_cast<QVariantMap>(reply.arguments().first());
    const int width = results.value("width").toInt();
    const int height = results.value("height").toInt();
    const int stride = results.value("stride").toInt();
    const auto format = static_cast<QImage::Format>(results.value("format").toInt());
    const auto size = static_cast<std::uintmax_t>(stride) * static_cast<std::uintmax_t>(height);
    if (size == 0 || !PollUntil([&] { return std::filesystem::file_size(path) >= size; }, 5s)) {
        return {};
    }
    const std::string pixels = ReadFile(path);
    return QImage(reinterpret_cast<const uchar*>(pixels.data()), width, height, stride, format)
        .copy();
}

QImage DesktopSession::SwayScreenshot() const {
    const std::string path = m_dir.Path() + "/shared/shot.png";
    auto command = kAsNobody;
    command.insert(command.end(), {kGrim, path});
    std::string socket;
    for (const auto& entry : std::filesystem::directory_iterator(m_runtime)) {
        const std::string name = entry.path().filename();
        if (name.starts_with("wayland-") && !name.ends_with(".lock")) {
            socket = name;
        }
    }
    auto env = DesktopEnvironment(m_runtime, m_dir.Path() + "/shared");
    env["WAYLAND_DISPLAY"] = socket;
    Process grim({.command = command, .environment = env});
    if (grim.WaitForExit(10s) != 0) {
        return {};
    }
    QImage image(QString::fromStdString(path));
    std::filesystem::remove(path);
    return image;
}

namespace {

// A file the manager reads from its home, written before it starts.
struct HomeFile {
    const char* path;
    const char* text;
};

// i3 refuses a config file that does not say what it is on its first line.
constexpr HomeFile kI3Config{"i3.config", "# i3 config file (v4)\n"
                                          "font pango:monospace 8\n"};

struct ManagerRecipe {
    WindowManager manager;
    const char* name;
    std::vector<std::string> command;
    std::vector<HomeFile> files{};
};

// How each is started as its session starts it. i3 reads the config file written next to it;
// mutter must be told to manage an X server, not to be a Wayland compositor.
const std::vector<ManagerRecipe>& ManagerRecipes() {
    static const std::vector<ManagerRecipe> recipes = {
        {WindowManager::Openbox, "openbox", {"/usr/bin/openbox", "--sm-disable"}},
        {WindowManager::Xfwm4,
         "xfwm4",
         {"/usr/bin/xfwm4", "--compositor=off", "--sm-client-disable"}},
        {WindowManager::Xfwm4Compositing,
         "xfwm4-compositing",
         {"/usr/bin/xfwm4", "--compositor=on", "--sm-client-disable"}},
        {WindowManager::I3, "i3", {"/usr/bin/i3", "-c", "i3.config"}, {kI3Config}},
        {WindowManager::Fluxbox, "fluxbox", {"/usr/bin/fluxbox"}},
        {WindowManager::IceWM, "icewm", {"/usr/bin/icewm"}},
        {WindowManager::KWin, "kwin_x11", {"/usr/bin/kwin_x11"}},
        {WindowManager::Mutter, "mutter", {"/usr/bin/mutter", "--x11", "--replace"}},
    };
    return recipes;
}

const ManagerRecipe& RecipeOf(WindowManager manager) {
    for (const ManagerRecipe& recipe : ManagerRecipes()) {
        if (recipe.manager == manager) {
            return recipe;
        }
    }
    return ManagerRecipes().front();
}

} // namespace

ScreenPoint Around(ScreenPoint centre, int radius, double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    return {centre.x + static_cast<int>(std::lround(radius * std::sin(radians))),
            centre.y - static_cast<int>(std::lround(radius * std::cos(radians)))};
}

std::vector<Expectation> ClockAt10h10(ScreenPoint centre, QRgb colour, QRgb gaps) {
    constexpr int kRingRadius = 100;
    // Half the side of the clock's square, whose corners lie outside the dots and the hands.
    constexpr int kHalfSquare = 108;
    std::vector<Expectation> expected;
    for (int hour = 0; hour < 12; ++hour) {
        expected.push_back({"a dot", Around(centre, kRingRadius, hour * 30.0), colour});
    }
    expected.push_back({"the minute hand", Around(centre, 40, 60.0), colour});
    expected.push_back({"the hour hand", Around(centre, 25, 305.0), colour});
    for (double degrees : {135.0, 180.0, 225.0}) {
        expected.push_back({"a gap", Around(centre, 55, degrees), gaps});
    }
    const int left = centre.x - kHalfSquare;
    const int top = centre.y - kHalfSquare;
    for (ScreenPoint corner :
         {ScreenPoint{left + 2, top + 2}, ScreenPoint{left + 213, top + 2},
          ScreenPoint{left + 2, top + 213}, ScreenPoint{left + 213, top + 213}}) {
        expected.push_back({"a corner of the clock's square", corner, gaps});
    }
    return expected;
}

std::string Mismatches(const QImage& shot, const std::vector<Expectation>& expected) {
    constexpr int kTolerance = 8;
    const auto near = [](QRgb shown, QRgb wanted) {
        return std::abs(qRed(shown) - qRed(wanted)) <= kTolerance &&
               std::abs(qGreen(shown) - qGreen(wanted)) <= kTolerance &&
               std::abs(qBlue(shown) - qBlue(wanted)) <= kTolerance;
    };
    const auto hex = [](QRgb colour) {
        std::ostringstream text;
        text << "0x" << std::hex << (colour & 0xFFFFFF);
        return text.str();
    };
    if (shot.isNull()) {
        return "no screenshot";
    }
    std::ostringstream wrong;
    for (const Expectation& e : expected) {
        bool found = false;
        for (int dy = -1; dy <= 1 && !found; ++dy) {
            for (int dx = -1; dx <= 1 && !found; ++dx) {
                found = shot.valid(e.at.x + dx, e.at.y + dy) &&
                        near(shot.pixel(e.at.x + dx, e.at.y + dy), e.colour);
            }
        }
        if (!found) {
            wrong << e.what << " at (" << e.at.x << "," << e.at.y << ") is "
                  << (shot.valid(e.at.x, e.at.y) ? hex(shot.pixel(e.at.x, e.at.y)) : "off")
                  << ", not " << hex(e.colour) << "; ";
        }
    }
    return wrong.str();
}

const char* WindowManagerName(WindowManager manager) {
    return RecipeOf(manager).name;
}

WindowManagerSession::WindowManagerSession(WindowManager manager, const XServer& server)
    : m_manager(manager), m_server(server) {
    const ManagerRecipe& recipe = RecipeOf(manager);
    if (access(recipe.command.front().c_str(), X_OK) != 0) {
        m_missing = true;
        m_problem = recipe.command.front() + " is not installed";
        return;
    }
    m_environment = InheritedEnvironment();
    for (const char* tied : {"DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "XAUTHORITY",
                             "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "SESSION_MANAGER"}) {
        m_environment.erase(tied);
    }
    m_environment["HOME"] = m_home.Path();
    m_environment["XDG_RUNTIME_DIR"] = m_runtime.Path();
    m_environment["DISPLAY"] = server.DisplayName();
    std::vector<std::string> command = {"/usr/bin/dbus-run-session", "--"};
    for (const std::string& word : recipe.command) {
        command.push_back(word == kI3Config.path ? m_home.Path() + "/" + word : word);
    }
    for (const HomeFile& file : recipe.files) {
        const std::filesystem::path path = m_home.Path() + "/" + file.path;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << file.text;
    }
    m_process = std::make_unique<Process>(
        Process::Options{.command = command, .environment = m_environment});
    // The manager names a window of its own on the root, and the same window on itself.
    const bool ready = PollUntil(
        [&] {
            const auto check = server.Numbers(server.Root(), "_NET_SUPPORTING_WM_CHECK");
            return !check.empty() &&
                   server.Numbers(check.front(), "_NET_SUPPORTING_WM_CHECK") == check;
        },
        kStartTimeout, 50ms);
    if (!ready) {
        m_problem = std::string(recipe.name) + " did not start: " + m_process->ErrorOutput();
    }
}

WindowManagerSession::~WindowManagerSession() {
    if (!m_process) {
        return;
    }
    // The manager is stopped first, while its X server and its bus are still there. Left to
    // die of the lost X connection, kwin_x11 takes that for a crash and starts itself again a
    // second later, on the display number that the next test's Xvfb has been given by then,
    // where it takes over from that test's manager (mutter's screen then stays black).
    const pid_t session = m_process->Pid();
    std::vector<pid_t> managers = ChildrenOf(session);
    std::erase_if(managers, [&](pid_t child) {
        const auto words = CommandLineOf(child);
        return words.empty() || words.front() != RecipeOf(m_manager).command.front();
    });
    const auto gone = [&] {
        return std::none_of(managers.begin(), managers.end(),
                            [&](pid_t manager) { return ParentOf(manager) == session; });
    };
    for (const pid_t manager : managers) {
        kill(manager, SIGTERM);
    }
    if (!PollUntil(gone, 3s, 20ms)) {
        for (const pid_t manager : managers) {
            kill(manager, SIGKILL);
        }
    }
    m_process->Stop(SIGTERM, 3s);
}

void WindowManagerSession::ShowWorkspace(int number) const {
    if (m_manager == WindowManager::I3) {
        // i3 makes a workspace when it is first shown, and takes the request only through its
        // own socket, which it names on the root window.
        Process message({.command = {"/usr/bin/i3-msg", "workspace", std::to_string(number + 1)},
                         .environment = m_environment});
        message.WaitForExit(10s);
        return;
    }
    m_server.AskWindowManager(m_server.Root(), "_NET_CURRENT_DESKTOP", {number, 0});
}

} // namespace reloj::e2e
