#include "HandOverBound.h"

void HandOverBound::enter(qint64 bytes)
{
    std::unique_lock<std::mutex> locker(mutex);
    roomMade.wait(locker, [this] { return closed || queued < mark; });
    queued += bytes;
}

void HandOverBound::leave(qint64 bytes)
{
    const std::lock_guard<std::mutex> locker(mutex);
    queued -= bytes;
    roomMade.notify_all();
}

void HandOverBound::close()
{
    const std::lock_guard<std::mutex> locker(mutex);
    closed = true;
    roomMade.notify_all();
}
