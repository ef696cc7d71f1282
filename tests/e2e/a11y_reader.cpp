#include "a11y_reader.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <QString>
#include <QVariant>
#include <atomic>
#include <deque>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace reloj::e2e {

namespace {

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
// The bit of the first state word that says a check box is checked.
constexpr unsigned kStateChecked = 4;
// A widget tree is shallow; these bound a walk through a misbehaving one.
constexpr int kDeepestLevel = 8;
constexpr std::size_t kMostObjects = 500;
// One answer from a busy program on a loaded machine may take a while; a lost one must not
// hang the test.
constexpr int kCallTimeoutMs = 3000;
// Starting the accessibility bus and its registry on a loaded machine.
constexpr int kBusStartTimeoutMs = 20000;

struct ObjectRef {
    QString service;
    QString path;
};

QDBusMessage Call(const QDBusConnection& bus, const ObjectRef& object, const char* interface,
                  const char* method, const QList<QVariant>& arguments = {}) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(object.service, object.path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

bool Answered(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

std::optional<QString> StringProperty(const QDBusConnection& bus, const ObjectRef& object,
                                      const char* name) {
    const QDBusMessage reply = Call(bus, object, "org.freedesktop.DBus.Properties", "Get",
                                    {QString::fromLatin1(kAccessible), QString::fromLatin1(name)});
    if (!Answered(reply)) {
        return std::nullopt;
    }
    return reply.arguments().at(0).value<QDBusVariant>().variant().toString();
}

std::vector<ObjectRef> Children(const QDBusConnection& bus, const ObjectRef& object) {
    std::vector<ObjectRef> children;
    const QDBusMessage reply = Call(bus, object, kAccessible, "GetChildren");
    if (!Answered(reply)) {
        return children;
    }
    const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString service;
        QDBusObjectPath path;
        list.beginStructure();
        list >> service >> path;
        list.endStructure();
        children.push_back({service, path.path()});
    }
    list.endArray();
    return children;
}

// The root of the application with that name among the connections on the bus.
std::optional<ObjectRef> FindApplication(const QDBusConnection& bus, const QString& name) {
    const QStringList services = bus.interface()->registeredServiceNames().value();
    for (const QString& service : services) {
        if (!service.startsWith(QLatin1Char(':')) || service == bus.baseService()) {
            continue;
        }
        const ObjectRef root{service, QString::fromLatin1(kRootPath)};
        if (StringProperty(bus, root, "Name") == name) {
            return root;
        }
    }
    return std::nullopt;
}

// The first object with that accessible name, breadth first under the application's root.
std::optional<ObjectRef> FindObject(const QDBusConnection& bus, const ObjectRef& root,
                                    const QString& name) {
    std::deque<std::pair<ObjectRef, int>> queue{{root, 0}};
    std::size_t seen = 0;
    while (!queue.empty() && seen++ < kMostObjects) {
        const auto [object, level] = queue.front();
        queue.pop_front();
        if (level > 0 && StringProperty(bus, object, "Name") == name) {
            return object;
        }
        if (level < kDeepestLevel) {
            for (const ObjectRef& child : Children(bus, object)) {
                queue.push_back({child, level + 1});
            }
        }
    }
    return std::nullopt;
}

// The bus and the services it starts get a bare environment: no display to mark and no outer
// session to find.
Process::Options BusOptions(const std::string& home, const std::string& runtime) {
    return {.command = {"/usr/bin/dbus-daemon", "--session", "--address=unix:path=" + home + "/bus",
                        "--nofork", "--print-address", "--nopidfile"},
            .environment = {{"PATH", "/usr/bin:/bin"},
                            {"HOME", home},
                            {"XDG_RUNTIME_DIR", runtime},
                            {"GSETTINGS_BACKEND", "memory"}}};
}

} // namespace

AccessibilityBus::AccessibilityBus() : m_bus(BusOptions(m_home.Path(), m_runtime.Path())) {
    static std::atomic<int> counter{0};
    m_connectionName =
        "reloj-e2e-a11y-" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
    m_sessionAddress = m_bus.FirstLine(20s);
    if (m_sessionAddress.empty()) {
        throw std::runtime_error("dbus-daemon did not start: " + m_bus.ErrorOutput());
    }
}

// The session bus is stopped once the connections are gone; the accessibility bus launcher
// leaves with it, taking its own bus along.
AccessibilityBus::~AccessibilityBus() {
    QDBusConnection::disconnectFromBus(QString::fromStdString(m_connectionName + "-session"));
    QDBusConnection::disconnectFromBus(QString::fromStdString(m_connectionName));
}

// Asked of the session bus, which starts the accessibility bus the first time.
std::string AccessibilityBus::A11yAddress() const {
    if (!m_a11yAddress.empty()) {
        return m_a11yAddress;
    }
    const QDBusConnection session =
        QDBusConnection::connectToBus(QString::fromStdString(m_sessionAddress),
                                      QString::fromStdString(m_connectionName + "-session"));
    if (!session.isConnected()) {
        return {};
    }
    QDBusMessage message = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus",
                                                          "org.a11y.Bus", "GetAddress");
    const QDBusMessage reply = session.call(message, QDBus::Block, kBusStartTimeoutMs);
    if (Answered(reply)) {
        m_a11yAddress = reply.arguments().at(0).toString().toStdString();
    }
    return m_a11yAddress;
}

namespace {

std::optional<std::pair<QDBusConnection, ObjectRef>> Find(const std::string& address,
                                                          const std::string& connectionName,
                                                          const std::string& application,
                                                          const std::string& objectName) {
    if (address.empty()) {
        return std::nullopt;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address),
                                                        QString::fromStdString(connectionName));
    if (!bus.isConnected()) {
        return std::nullopt;
    }
    const auto root = FindApplication(bus, QString::fromStdString(application));
    if (!root) {
        return std::nullopt;
    }
    const auto object = FindObject(bus, *root, QString::fromStdString(objectName));
    if (!object) {
        return std::nullopt;
    }
    return std::pair{bus, *object};
}

} // namespace

std::optional<std::string>
AccessibilityBus::ReadAccessibleText(const std::string& application,
                                     const std::string& objectName) const {
    const auto found = Find(A11yAddress(), m_connectionName, application, objectName);
    if (!found) {
        return std::nullopt;
    }
    const auto& [bus, object] = *found;
    const QDBusMessage text =
        Call(bus, object, "org.a11y.atspi.Text", "GetText", {QVariant(0), QVariant(-1)});
    if (Answered(text)) {
        return text.arguments().at(0).toString().toStdString();
    }
    const auto description = StringProperty(bus, object, "Description");
    if (!description) {
        return std::nullopt;
    }
    return description->toStdString();
}

std::optional<bool> AccessibilityBus::ReadAccessibleChecked(const std::string& application,
                                                            const std::string& objectName) const {
    const auto found = Find(A11yAddress(), m_connectionName, application, objectName);
    if (!found) {
        return std::nullopt;
    }
    const auto& [bus, object] = *found;
    const QDBusMessage reply = Call(bus, object, kAccessible, "GetState");
    if (!Answered(reply)) {
        return std::nullopt;
    }
    const auto words = qdbus_cast<QList<uint>>(reply.arguments().at(0));
    if (words.isEmpty()) {
        return std::nullopt;
    }
    return (words.at(0) & (1u << kStateChecked)) != 0;
}

} // namespace reloj::e2e
