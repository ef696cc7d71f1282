#include "qt/server_backdrop.h"

#include "qt/xcb_reply.h"

#include <QGuiApplication>
#include <QtEndian>
#include <algorithm>
#include <xcb/xcb.h>

namespace reloj {

namespace {

// The only layout copied: RGB in the low 24 bits of a 32-bit pixel, as QImage::Format_RGB32
// holds it in memory.
constexpr uint8_t kDepth = 24;
constexpr uint8_t kBitsPerPixel = 32;
constexpr uint32_t kRedMask = 0xff0000;
constexpr uint32_t kGreenMask = 0x00ff00;
constexpr uint32_t kBlueMask = 0x0000ff;
// The bytes of a PutImage request before its pixels.
constexpr uint32_t kPutImageHeaderBytes = 24;

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

const xcb_visualtype_t* FindVisual(const xcb_setup_t* setup, xcb_visualid_t id) {
    for (auto screen = xcb_setup_roots_iterator(setup); screen.rem > 0; xcb_screen_next(&screen)) {
        for (auto depth = xcb_screen_allowed_depths_iterator(screen.data); depth.rem > 0;
             xcb_depth_next(&depth)) {
            for (auto visual = xcb_depth_visuals_iterator(depth.data); visual.rem > 0;
                 xcb_visualtype_next(&visual)) {
                if (visual.data->visual_id == id) {
                    return visual.data;
                }
            }
        }
    }
    return nullptr;
}

bool ServerTakesThirtyTwoBitPixels(const xcb_setup_t* setup) {
    constexpr auto kHostOrder =
        Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != kHostOrder) {
        return false;
    }
    for (auto format = xcb_setup_pixmap_formats_iterator(setup); format.rem > 0;
         xcb_format_next(&format)) {
        if (format.data->depth == kDepth) {
            return format.data->bits_per_pixel == kBitsPerPixel &&
                   format.data->scanline_pad == kBitsPerPixel;
        }
    }
    return false;
}

} // namespace

bool ServerBackdrop::CanKeep(const QWindow& window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) {
        return false;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr));
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, id), nullptr));
    if (!geometry || !attributes || geometry->depth != kDepth) {
        return false;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const xcb_visualtype_t* visual = FindVisual(setup, attributes->visual);
    return visual != nullptr && visual->red_mask == kRedMask && visual->green_mask == kGreenMask &&
           visual->blue_mask == kBlueMask && ServerTakesThirtyTwoBitPixels(setup);
}

void ServerBackdrop::Keep(const QWindow& window, const QImage& square) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || square.isNull()) {
        return;
    }
    const QImage pixels = square.convertToFormat(QImage::Format_RGB32);
    const auto id = static_cast<xcb_window_t>(window.winId());
    const auto width = static_cast<uint16_t>(pixels.width());
    const auto height = static_cast<uint16_t>(pixels.height());
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, kDepth, pixmap, id, width, height);
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, pixmap, 0, nullptr);
    // As many rows to a request as the server takes.
    const uint32_t rowBytes = static_cast<uint32_t>(pixels.bytesPerLine());
    const uint32_t mostBytes = xcb_get_maximum_request_length(connection) * 4;
    const int rowsAtOnce =
        static_cast<int>(std::max<uint32_t>(1, (mostBytes - kPutImageHeaderBytes) / rowBytes));
    for (int top = 0; top < pixels.height(); top += rowsAtOnce) {
        const int rows = std::min(rowsAtOnce, pixels.height() - top);
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width,
                      static_cast<uint16_t>(rows), 0, static_cast<int16_t>(top), 0, kDepth,
                      rowBytes * static_cast<uint32_t>(rows), pixels.constScanLine(top));
    }
    xcb_free_gc(connection, gc);
    // The window holds on to its background: the pixmap's own name can go at once.
    xcb_change_window_attributes(connection, id, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_free_pixmap(connection, pixmap);
    xcb_clear_area(connection, 0, id, 0, 0, 0, 0);
    xcb_flush(connection);
}

void ServerBackdrop::StopExposures(const QWindow& window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) {
        return;
    }
    // Qt chose the window's other events; they stay as they are.
    const auto id = static_cast<xcb_window_t>(window.winId());
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, id), nullptr));
    if (!attributes) {
        return;
    }
    const uint32_t events = attributes->your_event_mask & ~uint32_t{XCB_EVENT_MASK_EXPOSURE};
    xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &events);
    xcb_flush(connection);
}

} // namespace reloj
