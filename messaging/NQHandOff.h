#pragma once

#include <deque>
#include <mutex>
#include <utility>

// Calls handed from one thread to another in order, many for one wake-up:
// the sender posts the receiving thread an event only when the queue was
// empty, and that event takes everything queued until the queue is empty
// again. A burst of packets thus costs one event and one wake-up instead of
// one each, while a lone packet goes as fast as with a queued call.
template<typename Item>
class NQHandOff
{
public:
    // From any thread. True when the queue was empty: the caller then posts
    // the event that makes the receiving thread take the queue.
    bool push(Item item)
    {
        const std::lock_guard<std::mutex> locker(mutex);
        items.push_back(std::move(item));
        return items.size() == 1;
    }

    // On the receiving thread: the next item, in order. One at a time, so
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
    std::mutex mutex;
    std::deque<Item> items;
};
