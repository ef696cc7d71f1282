#include "calculator_x_events.h"

#include <X11/Xlib.h>

namespace reloj::e2e {

void SendDeleteWindow(const XServer& server, XWindow window) {
    Display* display = server.Dpy();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

} // namespace reloj::e2e
