#pragma once

#include <QString>

class QLocalSocket;

namespace platform {

enum class LocalConnect { Connected, Busy, Failed };

// Connects an unconnected socket to the local server at the path without
// waiting. Busy when the server takes no connection at this moment (its
// queue of connections not yet accepted is full, or this process is out of
// descriptors): ask again later. Failed when nobody serves the path.
LocalConnect connectLocal(QLocalSocket &socket, const QString &path);

} // namespace platform
