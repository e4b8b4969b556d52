#pragma once

#include <QMutex>
#include <QQueue>
#include <QThread>

#include <atomic>

#include "AsyncEvent.h"

class CEventManager;

// Works off the asynchronous events one at a time, in the order they were
// posted, delivering each through its manager and then releasing its data.
// It polls: an empty queue puts it to sleep for 200 ms.
class CAsyncEventThread : public QThread
{
public:
    explicit CAsyncEventThread(CEventManager *manager);
    ~CAsyncEventThread() override;

    // Lets PostEvent accept events until the next Stop.
    void Open();
    // Queues the event, whose data the queue then owns. False while the
    // queue is closed: the data is then not the queue's to release.
    bool PostEvent(const AsyncEvent &event);
    // Closes the queue, waits until the thread is gone and releases the data
    // of every event still queued, undelivered. Closing comes first so that
    // nothing can be queued after the queue was emptied and be lost. The
    // program may exit as soon as this returns.
    void Stop();

protected:
    void run() override;

private:
    bool TakeEvent(AsyncEvent *event);
    void ReleaseQueued();

    CEventManager *m_pManager;
    QMutex m_queueLock;
    QQueue<AsyncEvent> m_queue;
    bool m_bOpen = false;
    std::atomic<long> m_systemThreadId{0};
};
