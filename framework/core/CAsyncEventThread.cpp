#include "CAsyncEventThread.h"

#include <QMutexLocker>

#include "CEventManager.h"
#include "IEventData.h"

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
    QMutexLocker locker(&m_queueLock);
    m_bOpen = true;
}

bool CAsyncEventThread::PostEvent(const AsyncEvent &event)
{
    QMutexLocker locker(&m_queueLock);
    if (!m_bOpen)
        return false;
    m_queue.enqueue(event);
    return true;
}

void CAsyncEventThread::Stop()
{
    {
        QMutexLocker locker(&m_queueLock);
        m_bOpen = false;
    }
    requestInterruption();
    quit();
    wait();
    ReleaseQueued();
}

void CAsyncEventThread::ReleaseQueued()
{
    QMutexLocker locker(&m_queueLock);
    while (!m_queue.isEmpty()) {
        const AsyncEvent event = m_queue.dequeue();
        if (event.data)
            event.data->Release();
    }
}

bool CAsyncEventThread::TakeEvent(AsyncEvent *event)
{
    QMutexLocker locker(&m_queueLock);
    if (m_queue.isEmpty())
        return false;
    *event = m_queue.dequeue();
    return true;
}

// The queue lock is not held while an event is delivered, so handlers may
// fire further events.
void CAsyncEventThread::run()
{
    if (!m_pManager)
        return;
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
}
