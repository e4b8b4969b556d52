#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <mutex>

// What the link node's own thread has yet to handle of the packets handed
// over to it, in bytes, against a mark. The messaging node's dispatcher
// thread waits here while the mark is held: the node then reads no more from
// its peers, and a peer that keeps sending has its packets refused, as for
// any node that does not read.
class HandOverBound
{
public:
    explicit HandOverBound(qint64 mark) : mark(mark) {}

    // On the dispatcher's thread: waits while the mark is held, then counts
    // the bytes in. A packet larger than the mark goes when nothing waits.
    void enter(qint64 bytes);
    // On the link node's thread, once a packet has been handled.
    void leave(qint64 bytes);
    // From then on nothing waits: the link node goes.
    void close();

private:
    const qint64 mark;
    std::mutex mutex;
    std::condition_variable roomMade;
    qint64 queued = 0;
    bool closed = false;
};
