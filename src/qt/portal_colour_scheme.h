// The desktop's light or dark preference, as the desktop portal publishes it on the session bus
// (the Settings interface, org.freedesktop.appearance color-scheme), for a clock whose automatic
// colour cannot read the screen. The first answer is asked for without waiting and arrives in
// the event loop; later changes come as the portal's signal, so following the preference costs
// nothing while it stays the same. Without a session bus or a portal the preference stays
// unknown. What the clock makes of it is left to the clock.
#pragma once

#include "platform/platform.h"

#include <QDBusMessage>
#include <QObject>
#include <functional>
#include <optional>

class QDBusPendingCallWatcher;

namespace reloj {

class PortalColourScheme final : public QObject {
    Q_OBJECT

  public:
    // Asks the portal once and listens for its changes from then on.
    void Follow();
    // The last preference the portal gave; nothing until it has answered, or without one.
    std::optional<ColourScheme> Scheme() const { return m_scheme; }
    // Calls `changed` whenever the preference changes from now on.
    void OnChange(std::function<void()> changed) { m_changed = std::move(changed); }

  public slots:
    // The bus finds only public slots for its signals; the whole message is taken, whatever
    // the arguments' types.
    void OnSettingChanged(const QDBusMessage& changed);

  private:
    void Ask(const QString& method);
    void Take(const QVariant& value);

    bool m_following = false;
    std::optional<ColourScheme> m_scheme;
    std::function<void()> m_changed;
};

} // namespace reloj
