#pragma once

#include <QMetaMethod>
#include <QObject>

#include <deque>
#include <mutex>
#include <utility>

// Calls handed from one thread to an object on another, in order, many for
// one wake-up: an event is posted to the receiver only when the queue was
// empty, and that event takes everything queued until the queue is empty
// again. A burst of packets thus costs one event and one wake-up instead of
// one each, while a lone packet goes as fast as with a queued call.
//
// The event carries nothing of ours: it calls the receiver's own invokable
// method, looked up once. ThreadSanitizer cannot see the lock of Qt's event
// queue, so whatever this library wrote into an event (a functor and its
// captures) would look like a race to it; the items cross here, under a
// lock it sees.
template<typename Item>
class NQHandOff
{
public:
    // takeMethod: the normalised signature of the receiver's invokable that
    // takes the queue, e.g. "sendHandedOff()".
    NQHandOff(QObject *receiver, const QMetaObject &receiverClass, const char *takeMethod)
        : receiver(receiver)
        , takeAll(receiverClass.method(receiverClass.indexOfMethod(takeMethod)))
    {
    }

    // From any thread.
    void push(Item item)
    {
        bool first = false;
        {
            const std::lock_guard<std::mutex> locker(mutex);
            items.push_back(std::move(item));
            first = items.size() == 1;
        }
        if (first)
            takeAll.invoke(receiver, Qt::QueuedConnection);
    }

    // On the receiver's thread: the next item, in order. One at a time, so
    // that a nested event loop (in a user's callback) takes the rest in
    // order as well.
    bool take(Item *item)
    {
        const std::lock_guard<std::mutex> locker(mutex);
        if (items.empty())
            return false;
        *item = std::move(items.front());
        items.pop_front();
        return true;
    }

private:
    QObject *receiver;
    QMetaMethod takeAll;
    std::mutex mutex;
    std::deque<Item> items;
};
