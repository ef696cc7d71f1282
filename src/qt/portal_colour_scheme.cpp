#include "qt/portal_colour_scheme.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace reloj {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");
// The current method; portals older than its version 2 have only the one that wraps the value
// in a second variant.
const QString kReadOne = QStringLiteral("ReadOne");
const QString kRead = QStringLiteral("Read");

// The value inside however many variants it came in.
QVariant Unwrapped(QVariant value) {
    while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

} // namespace

void PortalColourScheme::Follow() {
    if (m_following) {
        return;
    }
    m_following = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(OnSettingChanged(QDBusMessage)));
    Ask(kReadOne);
}

// Asked without waiting: a portal that is slow to start must not hold up the clock's ticks.
void PortalColourScheme::Ask(const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    call << kGroup << kKey;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                     [this, method](QDBusPendingCallWatcher* answered) {
                         answered->deleteLater();
                         const QDBusPendingReply<QDBusVariant> reply = *answered;
                         if (!reply.isError()) {
                             Take(reply.value().variant());
                         } else if (method == kReadOne &&
                                    reply.error().type() == QDBusError::UnknownMethod) {
                             Ask(kRead);
                         }
                     });
}

void PortalColourScheme::OnSettingChanged(const QDBusMessage& changed) {
    const QList<QVariant> arguments = changed.arguments();
    if (arguments.size() == 3 && arguments[0].toString() == kGroup &&
        arguments[1].toString() == kKey) {
        Take(arguments[2]);
    }
}

// A number this clock does not know counts as no preference, as the portal itself defines.
void PortalColourScheme::Take(const QVariant& value) {
    bool isNumber = false;
    const uint number = Unwrapped(value).toUInt(&isNumber);
    const std::optional<ColourScheme> before = m_scheme;
    m_scheme = ColourScheme::NoPreference;
    for (ColourScheme known : {ColourScheme::PreferDark, ColourScheme::PreferLight}) {
        if (isNumber && number == static_cast<uint>(known)) {
            m_scheme = known;
        }
    }
    if (m_scheme != before && m_changed) {
        m_changed();
    }
}

} // namespace reloj
