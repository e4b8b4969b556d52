#pragma once

#include <QString>

class QLocalServer;

namespace platform {

// Listens under a local server name. A process that was killed leaves its
// socket file behind, and the next listen under that name fails although
// nobody serves it; such a name refuses connections. Only then is the file
// removed and the listen tried once more, so a live owner is never robbed.
bool listenReclaiming(QLocalServer &server, const QString &name);

} // namespace platform
