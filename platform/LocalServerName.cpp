#include "platform/LocalServerName.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace platform {

static bool nameIsServed(const QString &name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    // A unix-domain connect is decided at once; the wait only covers a full
    // backlog of a live but busy owner.
    const bool served = probe.waitForConnected(1000);
    probe.abort();
    return served;
}

bool listenReclaiming(QLocalServer &server, const QString &name)
{
    if (server.listen(name))
        return true;
    if (server.serverError() != QAbstractSocket::AddressInUseError || nameIsServed(name))
        return false;
    QLocalServer::removeServer(name);
    return server.listen(name);
}

} // namespace platform
