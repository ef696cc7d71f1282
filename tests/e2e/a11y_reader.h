// Reading a running program's widgets from outside, as a screen reader does: a private D-Bus
// session bus with its own accessibility bus, and a reader that walks the tree a program
// publishes there by accessible names. Pointing the program at the bus is left to
// running_clock.h, which is given SessionAddress().
#pragma once

#include "x_harness.h"

#include <chrono>
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

    // The session bus's address, through which a program finds the accessibility bus.
    const std::string& SessionAddress() const { return m_sessionAddress; }

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
