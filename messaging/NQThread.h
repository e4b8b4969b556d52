#pragma once

class QThread;

namespace nqthread {

// A thread for the library's own sockets, timers and hand-offs, not yet
// started, with Qt's plain poll loop as its event loop.
QThread *create();

} // namespace nqthread
