// The reloj executable: reads its options and joins the words after them into the one
// command-line text the clock reads, answers --help, --version, --autostart and --no-autostart,
// makes sure there is an X display to talk to, and hands over to
// ClockApplication::Start on Qt's xcb platform. Everything after that happens in Qt's event loop.
#include "app/autostart.h"
#include "app/clock_application.h"
#include "core/environment.h"
#include "qt/qt_platform.h"
#include "settings/options.h"
#include "settings/settings.h"

#include <QApplication>
#include <QSocketNotifier>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

namespace {

constexpr int kExitBadCommandLine = 2;
constexpr int kExitNoDisplay = 1;
constexpr int kExitCannotStart = 1;
constexpr int kExitDisplayLost = 1;
constexpr int kExitCannotWrite = 1;

// The file descriptors the clock needs at most: the X connection and its own for the screen's
// pixels, Qt's and GLib's wake-up pipes, the stop pipe, a sound file and the sound server, with
// room to spare. Below this, GLib ends the program with a trap when it cannot make a pipe.
constexpr rlim_t kDescriptorsNeeded = 64;

// What Qt says, in English, when it loses the X server; the clock says it in Spanish instead.
constexpr std::string_view kConnectionBroke = "The X11 connection broke";

constexpr const char* kUsage =
    "Uso: reloj [--mute] [IZQUIERDA|ARRIBA|DIÁMETRO|ESTILO|MOVIBLE|COLOR]\n"
    "     reloj --autostart [--mute] [IZQUIERDA|ARRIBA|DIÁMETRO|ESTILO|MOVIBLE|COLOR]\n"
    "     reloj --no-autostart\n"
    "\n"
    "Reloj analógico de escritorio: doce puntos y dos agujas, sin esfera, siempre encima.\n"
    "\n"
    "La línea de órdenes es un solo texto de hasta seis campos separados por «|»\n"
    "(entre comillas, porque «|» es una tubería para el intérprete):\n"
    "  IZQUIERDA, ARRIBA  posición de la esquina superior izquierda, en píxeles\n"
    "                     (0 deja la posición inicial)\n"
    "  DIÁMETRO           diámetro del anillo de puntos, en píxeles\n"
    "  ESTILO             1 agujas de cometa, 2 agujas de barra\n"
    "  MOVIBLE            0 fija el reloj; otro número deja arrastrarlo\n"
    "  COLOR              red, green, blue, yellow, magenta, cyan, white, rot, grün, blau,\n"
    "                     gelb, weiß..., qbcolor(N), &hBBGGRR, un número, rgb(R,G,B);\n"
    "                     0 o black: negro o blanco según el escritorio\n"
    "Sin línea de órdenes: 718|5|70|1|1|red.\n"
    "\n"
    "Ejemplos:\n"
    "  reloj '100|50|200|2|0|'\n"
    "  reloj '0|0|120|1|1|rgb(255,128,0)'\n"
    "  reloj --mute '600|400|140|1|1|red'      un reloj callado, sin campanadas\n"
    "  reloj --autostart --mute '100|50|200|2|0|'\n"
    "\n"
    "Con el ratón sobre las agujas: arrastrar con el botón izquierdo mueve el reloj; el\n"
    "botón derecho cambia el color; doble clic abre la calculadora de edad; mantener un\n"
    "botón pulsado 5 segundos cierra el reloj.\n"
    "\n"
    "Las opciones van antes de la línea de órdenes; «--» las termina.\n"
    "  --mute, --silencio  empieza sin campanadas, como con la casilla «Quitar Sonidos De\n"
    "                  Las Horas» de la calculadora marcada; desmarcarla las devuelve\n"
    "  --autostart     el reloj se iniciará con la sesión, con esa línea de órdenes, y\n"
    "                  callado con --mute (escribe ~/.config/autostart/reloj.desktop);\n"
    "                  no admite $ ` \\ \" % ni caracteres de control\n"
    "  --no-autostart  deja de iniciarse con la sesión (quita esa entrada)\n"
    "  --help          muestra este texto\n"
    "  --version       muestra la versión\n";

bool EnvironmentIs(const char* name, std::string_view value) {
    const char* set = std::getenv(name);
    return set != nullptr && value == set;
}

// Wayland lets no client place itself, stay on top or read the screen, so the clock asks
// for X11 (XWayland) unless the user chose a platform.
void ChooseWindowSystem() {
    if (!reloj::EnvironmentSet("QT_QPA_PLATFORM") &&
        (reloj::EnvironmentSet("WAYLAND_DISPLAY") ||
         EnvironmentIs("XDG_SESSION_TYPE", "wayland"))) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    // Positions, regions and screen pixels are all device pixels: no scaling by Qt.
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
}

// Qt looks into the session's runtime directory as it starts (for a sandbox's marker file), and
// where XDG_RUNTIME_DIR is not set it makes /tmp/runtime-<user> for that and leaves it behind.
// The clock writes no file. When only the variable was lost on the way (su, sudo, ssh), the
// directory the login manager made for the user is used. Otherwise Qt's fallback, which it
// makes under TMPDIR, is pointed at a place where nothing can be made: Qt says it cannot,
// finds no marker file, and goes on. Nothing else of the clock uses TMPDIR.
constexpr const char* kNowhere = "/dev/null";
bool runtimeNowhere = false;

bool UsableRuntimeDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & 0777) == 0700;
}

void ChooseRuntimeDirectory() {
    if (reloj::EnvironmentSet("XDG_RUNTIME_DIR")) {
        return;
    }
    const std::string usual = "/run/user/" + std::to_string(geteuid());
    if (UsableRuntimeDirectory(usual)) {
        setenv("XDG_RUNTIME_DIR", usual.c_str(), 1);
        return;
    }
    setenv("TMPDIR", kNowhere, 1);
    runtimeNowhere = true;
}

// What Qt says of the fallback runtime directory when it was pointed nowhere on purpose.
bool AboutTheRuntimeNowhere(const QString& message) {
    return runtimeNowhere &&
           (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) ||
            message.startsWith(QLatin1String("QStandardPaths: error creating runtime directory '") +
                               QLatin1String(kNowhere) + QLatin1Char('/')));
}

// Qt ends the process with an abort when it cannot reach the X server; say so plainly instead.
bool DisplayReachable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && std::string_view(platform).substr(0, 3) != "xcb") {
        return true;
    }
    if (!reloj::EnvironmentSet("DISPLAY")) {
        std::fputs("reloj: no hay pantalla: la variable DISPLAY está vacía\n", stderr);
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reachable) {
        std::fprintf(stderr, "reloj: no se puede abrir la pantalla «%s»\n", std::getenv("DISPLAY"));
    }
    return reachable;
}

// A session that ends, or a user who presses Ctrl+C, asks the clock to stop: it stops the way it
// always does, through the event loop, and ends with status 0 rather than dying by a signal.
int stopPipe[2] = {-1, -1};

void AskToStop(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(stopPipe[1], &byte, 1);
}

// Raises the limit on open files to what the clock needs, where the hard limit allows; says
// whether there are enough.
bool EnoughDescriptors() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return true; // nothing known; Qt and the stop pipe will find out for themselves
    }
    if (limit.rlim_cur >= kDescriptorsNeeded) {
        return true;
    }
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= kDescriptorsNeeded) {
        limit.rlim_cur = kDescriptorsNeeded;
        return setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    std::fprintf(stderr, "reloj: hacen falta %llu descriptores de archivo y el límite es %llu\n",
                 static_cast<unsigned long long>(kDescriptorsNeeded),
                 static_cast<unsigned long long>(limit.rlim_max));
    return false;
}

// Says whether the clock can be stopped by a signal; without a pipe for the news, a signal
// would kill it instead.
bool StopOnSignals(QApplication& application) {
    if (pipe(stopPipe) != 0) {
        return false;
    }
    auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application,
                     [] { QCoreApplication::exit(0); });
    struct sigaction action = {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    return true;
}

// Qt's own messages pass through unchanged, but for two that end the program: a platform that
// cannot be started, which Qt would end with an abort and a core dump after lines of English,
// and a lost X server, which Qt reports in English. Each becomes one Spanish line and exit
// status 1. While the application starts, Qt's messages are held back, so that a start that
// fails says only why.
QtMessageHandler qtMessages = nullptr;
bool qtStarting = true;
// Qt's connection to the X server, once the application has one.
xcb_connection_t* xConnection = nullptr;
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
std::vector<HeldMessage> heldMessages;

std::string WindowSystemName() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform != nullptr && *platform != '\0' ? platform : "xcb";
}

void SayWhyQtStops(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "reloj: no se puede iniciar el sistema de ventanas «%s»\n",
                     WindowSystemName().c_str());
        std::_Exit(kExitCannotStart);
    }
    // Qt says the connection broke only once it notices; whatever else it says after the
    // server went away (failed requests, shared memory it cannot get) comes of the same loss.
    // The program ends at once, before Qt's own exit lets more parts complain of it.
    const bool broke = message.startsWith(QLatin1String(
        kConnectionBroke.data(), static_cast<qsizetype>(kConnectionBroke.size())));
    if (broke || (xConnection != nullptr && xcb_connection_has_error(xConnection) != 0)) {
        std::fputs("reloj: se ha perdido la conexión con la pantalla\n", stderr);
        std::_Exit(kExitDisplayLost);
    }
    if (AboutTheRuntimeNowhere(message)) {
        return;
    }
    if (qtStarting) {
        heldMessages.push_back(
            {type, context.category != nullptr ? context.category : "", message});
        return;
    }
    qtMessages(type, context, message);
}

// The application has started: what Qt said meanwhile is said now, and from here on at once.
void ReleaseQtMessages() {
    qtStarting = false;
    for (const HeldMessage& held : heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.c_str());
        qtMessages(held.type, context, held.text);
    }
    heldMessages.clear();
    heldMessages.shrink_to_fit();
}

// Where this program is, for the autostart entry to start it again: its own path, as the
// session's search path may not hold the folder it was installed in.
std::string ThisProgram(const char* argv0) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : argv0;
}

// Says why a text cannot go into the autostart entry, in one line on standard error; false
// when it can.
bool RefusedForTheEntry(const char* what, std::string_view text) {
    const auto problem = reloj::UnwritableInEntry(text);
    if (problem) {
        std::fprintf(stderr,
                     "reloj: %s no puede ir en la entrada de inicio con la sesión: tiene %s en la "
                     "posición %zu, que algún lanzador cambiaría\n",
                     what, problem->problem.c_str(), problem->position);
    }
    return problem.has_value();
}

// reloj --autostart [--mute] [COMMAND LINE]: the clock starts with the session from now on,
// with that command line, which is checked as the clock would check it at login.
int AskToStartWithTheSession(const reloj::ProgramOptions& options, const char* argv0) {
    const std::string program = ThisProgram(argv0);
    if (RefusedForTheEntry("la línea de órdenes", options.commandLine) ||
        RefusedForTheEntry(("la ruta del programa «" + program + "»").c_str(), program)) {
        return kExitBadCommandLine;
    }
    // The screen is not known here: only what the command line itself gets wrong counts.
    const reloj::Settings settings = reloj::ReadSettings(
        options.commandLine, reloj::kNominalTwipsPerPixel, reloj::kNominalTwipsPerPixel);
    if (settings.error && settings.error->field != reloj::kScreenField) {
        std::fprintf(stderr, "%s\n", settings.error->Message().c_str());
        return kExitBadCommandLine;
    }
    const reloj::AutostartOutcome outcome = reloj::WriteAutostartEntry(
        reloj::ConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
        {.program = program, .commandLine = options.commandLine, .muted = options.muted});
    std::fprintf(outcome.done ? stdout : stderr, "%s\n", outcome.message.c_str());
    return outcome.done ? 0 : kExitCannotWrite;
}

int StopStartingWithTheSession() {
    const reloj::AutostartOutcome outcome = reloj::RemoveAutostartEntry(
        reloj::ConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
    std::fprintf(outcome.done ? stdout : stderr, "%s\n", outcome.message.c_str());
    return outcome.done ? 0 : kExitCannotWrite;
}

} // namespace

int main(int argc, char** argv) {
    const reloj::ProgramOptions options =
        reloj::ReadProgramOptions(std::vector<std::string_view>(argv + 1, argv + argc));
    if (options.error) {
        std::fprintf(stderr, "%s\n", options.error->c_str());
        return kExitBadCommandLine;
    }
    switch (options.action) {
    case reloj::ProgramAction::ShowHelp:
        std::fputs(kUsage, stdout);
        return 0;
    case reloj::ProgramAction::ShowVersion:
        std::printf("reloj %s\n", RELOJ_VERSION);
        return 0;
    case reloj::ProgramAction::StartWithSession:
        return AskToStartWithTheSession(options, argv[0]);
    case reloj::ProgramAction::StopWithSession:
        return StopStartingWithTheSession();
    case reloj::ProgramAction::RunClock:
        break;
    }

    if (!EnoughDescriptors()) {
        return kExitCannotStart;
    }
    ChooseWindowSystem();
    ChooseRuntimeDirectory();
    if (!DisplayReachable()) {
        return kExitNoDisplay;
    }

    // The command line is the clock's alone: Qt sees only the program's name, so that no word of
    // it (-display, -platform, -style...) is taken for one of Qt's own options.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    // Qt would scale by these itself; the clock scales itself by them instead.
    reloj::QtScaleVariables scaleVariables = reloj::TakeQtScaleVariables();
    qtMessages = qInstallMessageHandler(SayWhyQtStops);
    QApplication application(qtArgc, qtArgv);
    if (auto* x11 = application.nativeInterface<QNativeInterface::QX11Application>()) {
        xConnection = x11->connection();
    }
    ReleaseQtMessages();
    QApplication::setApplicationName("reloj");
    QApplication::setApplicationVersion(RELOJ_VERSION);
    // The clock windows are tool windows, which Qt does not count; closing the calculator or
    // the message box must never end the clock. The clock's tick ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!StopOnSignals(application)) {
        std::fputs("reloj: no se puede preparar la parada ordenada (sin descriptores libres)\n",
                   stderr);
        return kExitCannotStart;
    }

    reloj::QtPlatform platform(std::move(scaleVariables));
    reloj::ClockApplication clock(platform);
    clock.ChimesMuted() = options.muted;
    const reloj::StartupReport report = clock.Start(options.commandLine);
    for (const std::string& warning : report.warnings) {
        std::fprintf(stderr, "%s\n", warning.c_str());
    }
    if (report.error) {
        std::fprintf(stderr, "%s\n", report.error->Message().c_str());
        return kExitBadCommandLine;
    }
    return QApplication::exec();
}
