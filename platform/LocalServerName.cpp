#include "platform/LocalServerName.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace platform {

// A refused connection is immediate; a live server that is merely slow to
// accept has this long before it counts as alive anyway.
static const int probeTimeoutMs = 500;

bool removeStaleServerName(const QString &name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(probeTimeoutMs))
        return false;
    if (probe.error() != QLocalSocket::ConnectionRefusedError)
        return false;
    return QLocalServer::removeServer(name);
}

bool listenReclaiming(QLocalServer &server, const QString &name)
{
    if (server.listen(name))
        return true;
    if (server.serverError() != QAbstractSocket::AddressInUseError || !removeStaleServerName(name))
        return false;
    return server.listen(name);
}

bool localServerServed(const QString &name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    return probe.waitForConnected(probeTimeoutMs);
}

} // namespace platform
