#include "NQThread.h"

#include "platform/ThreadExit.h"

#include <QtCore/private/qeventdispatcher_unix_p.h>

// Qt gives every new thread the GLib main loop when GLib is there, so that
// GLib's own sources can share the thread. These threads run nothing but the
// library's sockets, timers and hand-offs, and a packet wakes two of them in
// every process it passes: Qt's plain poll loop does less work per wake-up,
// which on a round trip between two nodes comes to about a tenth of the time.
// It is the loop Qt itself picks when GLib is switched off; Qt offers no
// public way to choose a thread's loop, hence its private header.
NQThread::NQThread()
{
    setEventDispatcher(new QEventDispatcherUNIX);
}

void NQThread::run()
{
    systemId = platform::currentThreadId();
    QThread::run();
}

bool NQThread::waitGone(QDeadlineTimer deadline)
{
    return wait(deadline) && platform::waitForThreadGone(systemId, deadline);
}
