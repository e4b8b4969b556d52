#include "platform/ProcessWatch.h"

#include <cerrno>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

int openProcess(qint64 processId)
{
    // Ids outside pid_t's range, and 0 (which would name no process to
    // pidfd_open), must not be narrowed into some other, live process.
    if (processId <= 0 || processId > 0x7fffffff)
        return -1;
    return int(syscall(SYS_pidfd_open, pid_t(processId), 0u));
}

} // namespace

void waitForProcessEnd(qint64 processId)
{
    const int pidfd = openProcess(processId);
    if (pidfd < 0)
        return;
    pollfd watched{pidfd, POLLIN, 0};
    // A pidfd turns readable once the process has ended; anything else that
    // ends the wait (an error) is taken as the process being gone as well.
    while (poll(&watched, 1, -1) < 0 && errno == EINTR) {
    }
    close(pidfd);
}

bool processEnded(qint64 processId)
{
    const int pidfd = openProcess(processId);
    if (pidfd < 0)
        return true;
    pollfd watched{pidfd, POLLIN, 0};
    const bool ended = poll(&watched, 1, 0) != 0;
    close(pidfd);
    return ended;
}

} // namespace platform
