// A stand-in for the desktop portal's Settings interface on a private session bus, for the
// tests of the automatic colour on desktops whose screen cannot be read. It answers ReadOne and
// Read for org.freedesktop.appearance color-scheme, and the interface's version, as the portal
// does, and announces a change with the portal's SettingChanged signal: SIGUSR1 turns the
// desktop dark, SIGUSR2 light. It prints "ready" once it owns the portal's name.
//
//   reloj-portal-stand-in SCHEME   (0 no preference, 1 prefer dark, 2 prefer light)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
constexpr uint kVersion = 2;
constexpr uint kPreferDark = 1;
constexpr uint kPreferLight = 2;
constexpr int kSignalPollMs = 20;

volatile std::sig_atomic_t g_requested = 0;

void Request(int signal) {
    g_requested = signal == SIGUSR1 ? kPreferDark : kPreferLight;
}

QVariant Wrapped(const QVariant& value) {
    return QVariant::fromValue(QDBusVariant(value));
}

class Settings final : public QDBusVirtualObject {
  public:
    explicit Settings(uint scheme) : m_scheme(scheme) {}

    void Change(uint scheme) {
        m_scheme = scheme;
        QDBusMessage changed =
            QDBusMessage::createSignal(kPath, kSettings, QStringLiteral("SettingChanged"));
        changed << kGroup << kKey << Wrapped(m_scheme);
        QDBusConnection::sessionBus().send(changed);
    }

    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"org.freedesktop.portal.Settings\"/>");
    }

    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        const QList<QVariant> arguments = call.arguments();
        const auto argument = [&](int i) {
            return arguments.size() > i ? arguments[i].toString() : QString();
        };
        if (call.interface() == kProperties && call.member() == QStringLiteral("Get") &&
            argument(0) == kSettings && argument(1) == QStringLiteral("version")) {
            return bus.send(call.createReply(Wrapped(kVersion)));
        }
        if (call.interface() != kSettings) {
            return false;
        }
        const bool readOne = call.member() == QStringLiteral("ReadOne");
        if (!readOne && call.member() != QStringLiteral("Read")) {
            return false;
        }
        if (argument(0) != kGroup || argument(1) != kKey) {
            return bus.send(
                call.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                                      QStringLiteral("Requested setting not found")));
        }
        // Read, the older method, wraps the value in a second variant.
        return bus.send(call.createReply(readOne ? Wrapped(m_scheme) : Wrapped(Wrapped(m_scheme))));
    }

  private:
    uint m_scheme;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bool isNumber = false;
    const uint scheme = argc == 2 ? QString(argv[1]).toUInt(&isNumber) : 0;
    if (!isNumber || scheme > kPreferLight) {
        std::fprintf(stderr, "uso: reloj-portal-stand-in 0|1|2\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    Settings settings(scheme);
    if (!bus.registerVirtualObject(kPath, &settings) || !bus.registerService(kService)) {
        std::fprintf(stderr, "portal stand-in: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::signal(SIGUSR1, Request);
    std::signal(SIGUSR2, Request);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&settings] {
        if (const uint requested = g_requested; requested != 0) {
            g_requested = 0;
            settings.Change(requested);
        }
    });
    poll.start(kSignalPollMs);
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
