#include "platform/ThreadExit.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

// Signal 0 checks the thread without sending anything.
bool threadExists(long threadId)
{
    return tgkill(getpid(), static_cast<pid_t>(threadId), 0) == 0 || errno != ESRCH;
}

} // namespace

long currentThreadId()
{
    return gettid();
}

// What is left of a thread once Qt's wait returns is short, so a pause of a
// few microseconds between looks costs nothing. The look is bounded even
// when the caller's wait is not: were the system to give the id to a new
// thread meanwhile, it would never end.
bool waitForThreadGone(long threadId, QDeadlineTimer deadline)
{
    const QDeadlineTimer leaving(1000);
    while (threadId != 0 && threadExists(threadId)) {
        if (deadline.hasExpired() || leaving.hasExpired())
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    return true;
}

} // namespace platform
