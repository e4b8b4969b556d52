#include "platform/NativeWindow.h"

#include <QSocketNotifier>

#include <cstdlib>

#include <xcb/xcb.h>

namespace platform {

namespace {

struct Connection
{
    Connection()
        : handle(xcb_connect(nullptr, nullptr))
    {
    }
    ~Connection() { xcb_disconnect(handle); }
    bool usable() const { return xcb_connection_has_error(handle) == 0; }
    xcb_connection_t *handle;
};

} // namespace

bool nativeWindowExists(quintptr windowId)
{
    if (windowId == 0 || windowId > 0xffffffffu)
        return false;
    Connection connection;
    if (!connection.usable())
        return false;
    const auto cookie = xcb_get_geometry(connection.handle, static_cast<xcb_window_t>(windowId));
    xcb_get_geometry_reply_t *reply = xcb_get_geometry_reply(connection.handle, cookie, nullptr);
    const bool exists = reply != nullptr;
    std::free(reply);
    return exists;
}

ForeignWindowPin::ForeignWindowPin(quintptr windowId, std::function<QRect()> wanted,
                                   QObject *parent)
    : QObject(parent)
    , window(static_cast<quint32>(windowId))
    , wanted(std::move(wanted))
{
    // A connection of our own: the toolkit's connection neither asks for
    // nor hands out events of windows that belong to other programs.
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0)
        return;
    const uint32_t mask[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, mask);
    xcb_flush(connection);
    notifier = new QSocketNotifier(xcb_get_file_descriptor(connection), QSocketNotifier::Read,
                                   this);
    connect(notifier, &QSocketNotifier::activated, this, &ForeignWindowPin::onEvents);
}

ForeignWindowPin::~ForeignWindowPin()
{
    delete notifier;
    xcb_disconnect(connection);
}

void ForeignWindowPin::onEvents()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
            const auto *configure = reinterpret_cast<xcb_configure_notify_event_t *>(event);
            const QRect actual(configure->x, configure->y, configure->width, configure->height);
            const QRect target = wanted();
            if (configure->window == window && target.isValid() && actual != target)
                moveTo(target);
        }
        std::free(event);
    }
}

void ForeignWindowPin::moveTo(const QRect &geometry)
{
    const uint32_t values[] = {
        static_cast<uint32_t>(geometry.x()),
        static_cast<uint32_t>(geometry.y()),
        static_cast<uint32_t>(geometry.width()),
        static_cast<uint32_t>(geometry.height()),
    };
    xcb_configure_window(connection, window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                             | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(connection);
}

} // namespace platform
