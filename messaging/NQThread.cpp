#include "NQThread.h"

#include "platform/LibraryLocation.h"
#include "platform/ThreadExit.h"

#include <QDebug>
#include <QtCore/private/qeventdispatcher_unix_p.h>

#include <mutex>
#include <vector>

namespace {

// Threads that were told to end while a callback on them still ran. Each
// holds the library until it has ended, so when the library goes (and this
// function-local static with it) every one of them has finished; the last
// may be the very thread that lets the library go.
class Retired
{
public:
    ~Retired()
    {
        for (NQThread *thread : threads)
            delete thread;
    }

    void add(NQThread *thread)
    {
        const std::lock_guard<std::mutex> locker(mutex);
        reapFinished();
        threads.push_back(thread);
    }

private:
    void reapFinished()
    {
        for (auto it = threads.begin(); it != threads.end();) {
            if ((*it)->waitGone(QDeadlineTimer(0))) {
                delete *it;
                it = threads.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex mutex;
    std::vector<NQThread *> threads;
};

Retired &retired()
{
    static Retired threads;
    return threads;
}

} // namespace

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

NQThread::NQThread(std::function<void()> work)
    : work(std::move(work))
{
    setEventDispatcher(new QEventDispatcherUNIX);
}

void NQThread::run()
{
    // A user may unload the library while one of its threads still runs a
    // callback that stopped the node; the thread keeps the code it runs.
    platform::keepLoadedWhileThreadRuns(reinterpret_cast<const void *>(&retired));
    systemId = platform::currentThreadId();
    if (work)
        work();
    else
        QThread::run();
}

bool NQThread::waitGone(QDeadlineTimer deadline)
{
    return wait(deadline) && platform::waitForThreadGone(systemId, deadline);
}

void NQThread::retire(NQThread *thread)
{
    retired().add(thread);
}
