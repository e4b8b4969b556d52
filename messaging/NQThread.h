#pragma once

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>

// A thread for the library's own sockets, timers and hand-offs, with Qt's
// plain poll loop as its event loop.
class NQThread : public QThread
{
public:
    NQThread();

    // Waits until the thread has ended and is gone from the process, so that
    // a program may exit as soon as its node has stopped. False at the
    // deadline.
    bool waitGone(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

protected:
    void run() override;

private:
    std::atomic<long> systemId{0};
};
