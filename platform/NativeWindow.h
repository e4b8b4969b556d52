#pragma once

#include <QObject>
#include <QRect>

#include <functional>

struct xcb_connection_t;
class QSocketNotifier;

namespace platform {

// Whether an X11 window of that id exists on the display right now.
bool nativeWindowExists(quintptr windowId);

// Holds another program's window, embedded in one of ours, at the geometry we
// want for it. On X11 the embedded program's own moves are taken relative to
// its new parent, so a program that places itself in screen coordinates
// would leave the area it is meant to fill; every such move is undone.
class ForeignWindowPin : public QObject
{
    Q_OBJECT

public:
    // wanted() gives the geometry relative to the window's parent; it is
    // asked each time the window was moved or resized by anyone.
    ForeignWindowPin(quintptr windowId, std::function<QRect()> wanted, QObject *parent = nullptr);
    ~ForeignWindowPin() override;

private:
    void onEvents();
    void moveTo(const QRect &geometry);

    xcb_connection_t *connection = nullptr;
    QSocketNotifier *notifier = nullptr;
    quint32 window;
    std::function<QRect()> wanted;
};

} // namespace platform
