#pragma once

#include <QDeadlineTimer>

namespace platform {

// The system's id of the calling thread, unique among the live threads of
// every process.
long currentThreadId();

// Waits until the thread of this process with that id is gone, its
// thread-local teardown included. Qt says a thread has finished before that
// teardown, which frees Qt's own data for the thread and touches Qt's
// globals: a program that exits as soon as a wait for the thread returns
// would tear those down beneath it. False at the deadline.
bool waitForThreadGone(long threadId, QDeadlineTimer deadline);

} // namespace platform
