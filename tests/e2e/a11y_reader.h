// Reading a running program's widgets from outside, as a screen reader does: a private D-Bus
// session bus with its own accessibility bus, which a Qt program started with Environment()
// publishes its widgets on, and a reader that walks the published tree by accessible names.
#pragma once

#include "x_harness.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>

namespace reloj::e2e {

class AccessibilityBus {
  public:
    // Starts a private session bus; the accessibility bus comes up behind it on first use.
    AccessibilityBus();
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    // What a Qt program needs in its environment to publish its widgets on this bus.
    std::map<std::string, std::string> Environment() const;

    // The text of the object with that accessible name in the application with that name: its
    // text, or its accessible description when it has no text interface. Nothing when the
    // application or the object cannot be found.
    std::optional<std::string> ReadAccessibleText(const std::string& application,
                                                  const std::string& objectName) const;
    // Whether a check box with that accessible name is checked; nothing when not found.
    std::optional<bool> ReadAccessibleChecked(const std::string& application,
                                              const std::string& objectName) const;

  private:
    std::string A11yAddress() const;

    TempDir m_home;
    TempDir m_runtime;
    Process m_bus;
    std::string m_sessionAddress;
    std::string m_connectionName;
    mutable std::string m_a11yAddress;
};

} // namespace reloj::e2e
