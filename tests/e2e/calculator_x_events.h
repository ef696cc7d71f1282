// What a window manager would do for the calculator window, done straight through the X server
// since the tests run without one.
#pragma once

#include "x_harness.h"

namespace reloj::e2e {

// Asks a window to close as a window manager's close button does: a WM_DELETE_WINDOW message.
void SendDeleteWindow(const XServer& server, XWindow window);

} // namespace reloj::e2e
