#include "CAsyncEventThread.h"

#include "CEventManager.h"
#include "IEventData.h"
#include "MutexLocker.h"
#include "ThreadSanitizer.h"
#include "platform/ThreadExit.h"

namespace {
const unsigned long idleSleepMs = 200;
}

CAsyncEventThread::CAsyncEventThread(CEventManager *manager) : m_pManager(manager) {}

CAsyncEventThread::~CAsyncEventThread()
{
    Stop();
}

void CAsyncEventThread::Open()
{
    MutexLocker locker(&m_queueLock);
    m_bOpen = true;
}

bool CAsyncEventThread::PostEvent(const AsyncEvent &event)
{
    MutexLocker locker(&m_queueLock);
    if (!m_bOpen)
        return false;
    m_queue.enqueue(event);
    return true;
}

void CAsyncEventThread::Stop()
{
    {
        MutexLocker locker(&m_queueLock);
        m_bOpen = false;
    }
    requestInterruption();
    quit();
    wait();
    platform::waitForThreadGone(m_systemThreadId, QDeadlineTimer(QDeadlineTimer::Forever));
    tsan::acquired(this);
    ReleaseQueued();
}

// The data is released outside the lock, so that a Release() that fires an
// event is refused rather than deadlocked; the queue is closed by now.
void CAsyncEventThread::ReleaseQueued()
{
    QQueue<AsyncEvent> queued;
    {
        MutexLocker locker(&m_queueLock);
        queued.swap(m_queue);
    }
    for (const AsyncEvent &event : qAsConst(queued)) {
        if (event.data)
            event.data->Release();
    }
}

bool CAsyncEventThread::TakeEvent(AsyncEvent *event)
{
    MutexLocker locker(&m_queueLock);
    if (m_queue.isEmpty())
        return false;
    *event = m_queue.dequeue();
    return true;
}

// The queue lock is not held while an event is delivered, so handlers may
// fire further events.
void CAsyncEventThread::run()
{
    m_systemThreadId = platform::currentThreadId();
    if (!m_pManager) {
        tsan::released(this);
        return;
    }
    while (!isInterruptionRequested()) {
        AsyncEvent event;
        if (!TakeEvent(&event)) {
            msleep(idleSleepMs);
            continue;
        }
        m_pManager->FireEvent(event.eventId, event.data, false, event.create);
        if (event.data)
            event.data->Release();
    }
    tsan::released(this);
}
