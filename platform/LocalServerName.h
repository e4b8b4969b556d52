#pragma once

#include <QString>

class QLocalServer;

namespace platform {

// A local server's name outlives a process that died without closing its
// server: the socket file stays and listening under the name fails as
// "address in use". Removes the name only when it is such a leftover, that
// is when nobody accepts connections under it; a live server's name is never
// taken away. Returns whether a stale name was removed.
bool removeStaleServerName(const QString &name);

// Listens under the name, removing a stale leftover of it first when the
// plain listen finds the name in use.
bool listenReclaiming(QLocalServer &server, const QString &name);

// Whether a live process accepts connections under the name.
bool localServerServed(const QString &name);

} // namespace platform
