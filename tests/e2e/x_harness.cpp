#include "x_harness.h"

// Qt before Xlib: Xlib defines macros that Qt's own names collide with.
#include <QImage>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <algorithm>
#include <stdexcept>
#include <thread>

namespace reloj::e2e {

namespace {

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

// The root window's children on that connection, bottom to top.
std::vector<XWindow> RootChildren(Display* display) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<XWindow> order;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        order.assign(children, children + count);
        XFree(children);
    }
    return order;
}

} // namespace

void PrintTo(const Rect& r, std::ostream* out) {
    *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

// Xvfb picks a free display number and writes it to the descriptor given as -displayfd.
XServer::XServer(std::optional<int> dpi, const std::string& screenSize)
    : m_xvfb(Process::Options{.command = {"Xvfb", "-displayfd", "1", "-screen", "0",
                                          screenSize + "x24", "-nolisten", "tcp", "-noreset"}}) {
    const std::string number = m_xvfb->FirstLine(30s);
    if (number.empty()) {
        throw std::runtime_error("Xvfb did not start: " + m_xvfb->ErrorOutput());
    }
    m_name = ":" + number;
    m_display = XOpenDisplay(m_name.c_str());
    if (m_display == nullptr) {
        throw std::runtime_error("cannot open " + m_name);
    }
    XSetErrorHandler(IgnoreXErrors);
    if (dpi) {
        const std::string resources = "Xft.dpi:\t" + std::to_string(*dpi) + "\n";
        XChangeProperty(m_display, DefaultRootWindow(m_display), XA_RESOURCE_MANAGER, XA_STRING,
                        8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.data()),
                        static_cast<int>(resources.size()));
        XSync(m_display, False);
    }
}

XServer::XServer(const std::string& displayName, const std::string& authority)
    : m_name(displayName) {
    if (!authority.empty()) {
        setenv("XAUTHORITY", authority.c_str(), 1);
    }
    m_display = XOpenDisplay(m_name.c_str());
    if (m_display == nullptr) {
        throw std::runtime_error("cannot open " + m_name);
    }
    XSetErrorHandler(IgnoreXErrors);
}

XServer::~XServer() {
    if (m_display != nullptr) {
        XCloseDisplay(m_display);
    }
}

void XServer::SetDesktopColour(unsigned long rgb) {
    const Window root = DefaultRootWindow(m_display);
    XSetWindowBackground(m_display, root, rgb);
    XClearWindow(m_display, root);
    XSync(m_display, False);
}

bool XServer::SetScreenSize(int width, int height) const {
    auto environment = InheritedEnvironment();
    environment["DISPLAY"] = m_name;
    Process xrandr({.command = {"/usr/bin/xrandr", "--fb",
                                std::to_string(width) + "x" + std::to_string(height)},
                    .environment = environment});
    xrandr.WaitForExit(10s);
    const Rect root = Geometry(DefaultRootWindow(m_display));
    return root == Rect{0, 0, width, height};
}

namespace {

// Depth first through the windows under `parent`, top-level windows before what a window
// manager's frame holds.
std::optional<XWindow> FindTitled(Display* display, Window parent, const std::string& title,
                                  const std::function<bool(Window)>& viewable) {
    Window root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, parent, &root, &up, &children, &count) == 0) {
        return std::nullopt;
    }
    const std::vector<Window> below(children, children + count);
    if (children != nullptr) {
        XFree(children);
    }
    for (Window child : below) {
        char* name = nullptr;
        if (XFetchName(display, child, &name) != 0 && name != nullptr) {
            const bool found = title == name && viewable(child);
            XFree(name);
            if (found) {
                return child;
            }
        }
    }
    for (Window child : below) {
        if (const auto found = FindTitled(display, child, title, viewable)) {
            return found;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<XWindow> XServer::WaitForWindow(const std::string& title,
                                             std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        if (const auto found = FindTitled(m_display, DefaultRootWindow(m_display), title,
                                          [this](Window w) { return Viewable(w); })) {
            return found;
        }
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

XWindow XServer::Root() const {
    return DefaultRootWindow(m_display);
}

XWindow XServer::TopLevel(XWindow window) const {
    for (;;) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(m_display, window, &root, &parent, &children, &count) == 0) {
            return window;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root || parent == 0) {
            return window;
        }
        window = parent;
    }
}

int XServer::Depth(XWindow window) const {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_display, window, &attributes) != 0 ? attributes.depth : 0;
}

std::vector<unsigned long> XServer::Numbers(XWindow window, const std::string& property) const {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(m_display, window, XInternAtom(m_display, property.c_str(), False), 0,
                           1024, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        // Xlib hands 32-bit values over as longs, sign-extended.
        constexpr unsigned long kLow32 = 0xFFFFFFFF;
        if (format == 32) {
            const auto* longs = reinterpret_cast<const unsigned long*>(data);
            for (unsigned long i = 0; i < count; ++i) {
                values.push_back(longs[i] & kLow32);
            }
        }
        XFree(data);
    }
    return values;
}

std::vector<std::string> XServer::AtomNames(XWindow window, const std::string& property) const {
    std::vector<std::string> names;
    for (unsigned long atom : Numbers(window, property)) {
        char* name = XGetAtomName(m_display, atom);
        if (name != nullptr) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

XWindow XServer::FocusWindow() const {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus;
}

void XServer::AskWindowManager(XWindow window, const std::string& message,
                               const std::vector<long>& data) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, message.c_str(), False);
    event.xclient.format = 32;
    for (std::size_t i = 0; i < data.size() && i < 5; ++i) {
        event.xclient.data.l[i] = data[i];
    }
    XSendEvent(m_display, DefaultRootWindow(m_display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(m_display, False);
}

bool XServer::Viewable(Window window) const {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(m_display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

Rect XServer::Geometry(Window window) const {
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
    return {x, y, x + attributes.width, y + attributes.height};
}

std::vector<Rect> XServer::Shape(Window window) const {
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(m_display, window, ShapeBounding, &count, &ordering);
    std::vector<Rect> result;
    for (int i = 0; i < count; ++i) {
        result.push_back({rects[i].x, rects[i].y, rects[i].x + rects[i].width,
                          rects[i].y + rects[i].height});
    }
    if (rects != nullptr) {
        XFree(rects);
    }
    return result;
}

unsigned long XServer::Pixel(int x, int y) const {
    XImage* image =
        XGetImage(m_display, DefaultRootWindow(m_display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return 0;
    }
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

ScreenArea XServer::Capture(const Rect& area) const {
    return CaptureScreen(m_display, area);
}

ScreenArea CaptureScreen(Display* display, const Rect& area) {
    ScreenArea captured{area, {}};
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return captured;
    }
    XImage* image = XGetImage(display, DefaultRootWindow(display), area.left, area.top,
                              static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        captured.area = {};
        return captured;
    }
    captured.pixels.reserve(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            captured.pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
        }
    }
    XDestroyImage(image);
    return captured;
}

bool XServer::SavePng(const std::string& path, std::optional<Rect> area) const {
    return SaveScreen(m_display, path, area);
}

bool SaveScreen(Display* display, const std::string& path, std::optional<Rect> area) {
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    const Rect r = area.value_or(Rect{0, 0, attributes.width, attributes.height});
    const ScreenArea captured = CaptureScreen(display, r);
    if (captured.pixels.empty()) {
        return false;
    }
    QImage picture(r.right - r.left, r.bottom - r.top, QImage::Format_RGB32);
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            picture.setPixel(x - r.left, y - r.top,
                             static_cast<QRgb>(captured.At(x, y) | 0xFF000000));
        }
    }
    return picture.save(QString::fromStdString(path), "PNG");
}

bool XServer::SelectionOwned(const std::string& selection) const {
    return XGetSelectionOwner(m_display, XInternAtom(m_display, selection.c_str(), False)) != 0;
}

std::vector<XWindow> XServer::StackingOrder() const {
    return RootChildren(m_display);
}

StackingRecorder::StackingRecorder(const XServer& server)
    : m_display(XOpenDisplay(server.DisplayName().c_str())) {
    if (m_display == nullptr) {
        throw std::runtime_error("cannot open " + server.DisplayName());
    }
    XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
    // The tree's reply comes after every change made before it, and so after their news: that
    // news is already in the order read here.
    m_order = RootChildren(m_display);
    while (QLength(m_display) > 0) {
        XEvent stale;
        XNextEvent(m_display, &stale);
    }
}

StackingRecorder::~StackingRecorder() {
    XCloseDisplay(m_display);
}

std::optional<std::vector<XWindow>>
StackingRecorder::FirstOrderWhere(const std::function<bool(const std::vector<XWindow>&)>& wrong) {
    const auto take = [this](XWindow window) {
        const auto at = std::find(m_order.begin(), m_order.end(), window);
        if (at != m_order.end()) {
            m_order.erase(at);
        }
    };
    std::optional<std::vector<XWindow>> found;
    if (wrong(m_order)) {
        found = m_order;
    }
    const Window root = DefaultRootWindow(m_display);
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        switch (event.type) {
        case CreateNotify: // a new window starts on top of its siblings
            m_order.push_back(event.xcreatewindow.window);
            break;
        case DestroyNotify:
            take(event.xdestroywindow.window);
            break;
        case ReparentNotify:
            take(event.xreparent.window);
            if (event.xreparent.parent == root) {
                m_order.push_back(event.xreparent.window);
            }
            break;
        case ConfigureNotify: {
            // The window now lies just above its sibling `above`, or at the bottom.
            const XConfigureEvent& configure = event.xconfigure;
            if (configure.window == root) {
                break;
            }
            take(configure.window);
            const auto above = std::find(m_order.begin(), m_order.end(), configure.above);
            m_order.insert(above == m_order.end() ? m_order.begin() : above + 1, configure.window);
            break;
        }
        case CirculateNotify:
            take(event.xcirculate.window);
            if (event.xcirculate.place == PlaceOnTop) {
                m_order.push_back(event.xcirculate.window);
            } else {
                m_order.insert(m_order.begin(), event.xcirculate.window);
            }
            break;
        default:
            continue;
        }
        if (!found && wrong(m_order)) {
            found = m_order;
        }
    }
    return found;
}

XWindow XServer::Cover(const Rect& place, unsigned long rgb, bool fixedSize) const {
    const Window window = XCreateSimpleWindow(
        m_display, DefaultRootWindow(m_display), place.left, place.top,
        static_cast<unsigned>(place.right - place.left),
        static_cast<unsigned>(place.bottom - place.top), 0, 0, rgb);
    // Where a window manager runs, a window of a fixed size at a place of its own asking is
    // left there, untiled (sway floats such windows).
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | USSize | (fixedSize ? PMinSize | PMaxSize : 0);
    hints.x = place.left;
    hints.y = place.top;
    hints.width = hints.min_width = hints.max_width = place.right - place.left;
    hints.height = hints.min_height = hints.max_height = place.bottom - place.top;
    XSetWMNormalHints(m_display, window, &hints);
    XMapRaised(m_display, window);
    XSync(m_display, False);
    return window;
}

void XServer::Remove(Window window) const {
    XDestroyWindow(m_display, window);
    XSync(m_display, False);
}

void XServer::Redraw(Window window, unsigned long rgb) const {
    XSetWindowBackground(m_display, window, rgb);
    XClearWindow(m_display, window);
    XSync(m_display, False);
}

void XServer::MovePointer(int x, int y) const {
    XTestFakeMotionEvent(m_display, 0, x, y, CurrentTime);
    XSync(m_display, False);
}

void XServer::Button(unsigned button, bool press) const {
    XTestFakeButtonEvent(m_display, button, press ? True : False, CurrentTime);
    XSync(m_display, False);
}

void XServer::Key(const std::string& keysym, bool press) const {
    const KeySym sym = XStringToKeysym(keysym.c_str());
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(m_display, sym);
    if (code == 0) {
        throw std::runtime_error("no key for " + keysym);
    }
    XTestFakeKeyEvent(m_display, code, press ? True : False, CurrentTime);
    XSync(m_display, False);
}

void XServer::Focus(Window window) const {
    XSetInputFocus(m_display, window, RevertToPointerRoot, CurrentTime);
    XSync(m_display, False);
}

PixelSet Pixels(const std::vector<Rect>& rects) {
    PixelSet pixels;
    for (const Rect& r : rects) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
}

Rect Bounds(const PixelSet& pixels) {
    if (pixels.empty()) {
        return {};
    }
    Rect box{pixels.begin()->first, pixels.begin()->second, pixels.begin()->first + 1,
             pixels.begin()->second + 1};
    for (const auto& [x, y] : pixels) {
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
               std::max(box.bottom, y + 1)};
    }
    return box;
}

std::vector<Rect> ShapeComponents(const std::vector<Rect>& shape, int width, int height) {
    std::vector<char> inside(static_cast<std::size_t>(width * height), 0);
    for (const Rect& r : shape) {
        for (int y = std::max(0, r.top); y < std::min(height, r.bottom); ++y) {
            for (int x = std::max(0, r.left); x < std::min(width, r.right); ++x) {
                inside[static_cast<std::size_t>(y * width + x)] = 1;
            }
        }
    }
    std::vector<Rect> components;
    std::vector<std::pair<int, int>> stack;
    for (int y0 = 0; y0 < height; ++y0) {
        for (int x0 = 0; x0 < width; ++x0) {
            if (inside[static_cast<std::size_t>(y0 * width + x0)] != 1) {
                continue;
            }
            Rect box{x0, y0, x0 + 1, y0 + 1};
            stack.push_back({x0, y0});
            inside[static_cast<std::size_t>(y0 * width + x0)] = 2;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                       std::max(box.bottom, y + 1)};
                for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < width && ny < height &&
                        inside[static_cast<std::size_t>(ny * width + nx)] == 1) {
                        inside[static_cast<std::size_t>(ny * width + nx)] = 2;
                        stack.push_back({nx, ny});
                    }
                }
            }
            components.push_back(box);
        }
    }
    return components;
}

} // namespace reloj::e2e
