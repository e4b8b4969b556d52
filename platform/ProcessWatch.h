#pragma once

#include <QtGlobal>

namespace platform {

// Blocks the calling thread until the process with the given id has ended.
// An id that cannot be watched (0, no such process, no permission) counts as
// ended, so the call returns at once. A zombie counts as ended too.
void waitForProcessEnd(qint64 processId);

// Whether the process with the given id has ended, by the same rules.
bool processEnded(qint64 processId);

} // namespace platform
