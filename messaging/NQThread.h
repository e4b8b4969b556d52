#pragma once

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <functional>

// A thread for the library's own sockets, timers and hand-offs, with Qt's
// plain poll loop as its event loop.
class NQThread : public QThread
{
public:
    NQThread();
    // A thread that runs the work and ends.
    explicit NQThread(std::function<void()> work);

    // Waits until the thread has ended and is gone from the process, so that
    // a program may exit as soon as its node has stopped. False at the
    // deadline.
    bool waitGone(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

    // Takes over a thread that has been told to end but may still run: it is
    // deleted once gone. Every thread of the library keeps it loaded until
    // it has ended, so unloading never waits for one.
    static void retire(NQThread *thread);

protected:
    void run() override;

private:
    std::function<void()> work;
    std::atomic<long> systemId{0};
};
