#include "NQThread.h"

#include "platform/ThreadExit.h"

#include <QDebug>
#include <QtCore/private/qeventdispatcher_unix_p.h>

#include <mutex>
#include <vector>

namespace {

// How long unloading the library waits for threads that are ending. They
// were told to end before they were retired and have nothing left to wait
// for; the bound is for a callback that hangs.
constexpr int unloadWaitMs = 5000;

// The retired threads. A function-local static is destroyed when the library
// is unloaded (or the process exits), before the library's code goes.
class Retired
{
public:
    ~Retired()
    {
        if (!reap(QDeadlineTimer(unloadWaitMs)))
            qWarning() << "NQCore: a stopped node's thread is still running as the library is unloaded";
    }

    void add(NQThread *thread)
    {
        reap(QDeadlineTimer(0));
        const std::lock_guard<std::mutex> locker(mutex);
        threads.push_back(thread);
    }

    // Deletes the threads that are gone by the deadline; true when none is
    // left.
    bool reap(QDeadlineTimer deadline)
    {
        const std::lock_guard<std::mutex> locker(mutex);
        for (auto it = threads.begin(); it != threads.end();) {
            if ((*it)->waitGone(deadline)) {
                delete *it;
                it = threads.erase(it);
            } else {
                ++it;
            }
        }
        return threads.empty();
    }

private:
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
