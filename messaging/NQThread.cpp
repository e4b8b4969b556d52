#include "NQThread.h"

#include <QThread>
#include <QtCore/private/qeventdispatcher_unix_p.h>

namespace nqthread {

// Qt gives every new thread the GLib main loop when GLib is there, so that
// GLib's own sources can share the thread. These threads run nothing but the
// library's sockets, timers and hand-offs, and a packet wakes two of them in
// every process it passes: Qt's plain poll loop does less work per wake-up,
// which on a round trip between two nodes comes to about a tenth of the time.
// It is the loop Qt itself picks when GLib is switched off; Qt offers no
// public way to choose a thread's loop, hence its private header.
QThread *create()
{
    auto *thread = new QThread;
    thread->setEventDispatcher(new QEventDispatcherUNIX);
    return thread;
}

} // namespace nqthread
