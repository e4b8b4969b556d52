#include "NQNode.h"

#include "NQDispatcher.h"
#include "NQNodeServer.h"
#include "NQThread.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

namespace {

// How long stopping a node waits for its thread to end. The thread drops
// every wait at once when asked to stop; this bound covers a machine
// under load.
constexpr unsigned long stopWaitMs = 800;

} // namespace

NQNode::~NQNode()
{
    dropServer();
}

QString NQNode::getNodeName()
{
    // Before start the node has no server; its name will be the process id.
    if (!server)
        return QString::number(QCoreApplication::applicationPid());
    return server->nodeName;
}

bool NQNode::start(INQNodeCallback *callback)
{
    dropServer();
    server = new NQNodeServer(callback);
    bool listening = false;
    QMetaObject::invokeMethod(server, "start", Qt::BlockingQueuedConnection, Q_RETURN_ARG(bool, listening));
    // The server's thread goes on with its sockets while the user waits.
    if (listening)
        server->waitUntilJoined();
    return listening;
}

bool NQNode::online(INQData *packet)
{
    if (server)
        server->handOff(QString(), packet->toByteArray(), true);
    return true;
}

bool NQNode::send(QString nodeName, INQData *packet)
{
    return !server || server->handOff(nodeName, packet->toByteArray(), false);
}

void NQNode::stop()
{
    dropServer();
}

void NQNode::release()
{
    delete this;
}

// The callback is cut off here, on the user's thread, so nothing reaches the
// user once stop returns. The server closes its sockets on its own thread;
// the user's thread then waits until that thread is gone, so that none of
// the node's threads still runs library or Qt code when the user goes on to
// exit. The server is told first to give up whatever it waits for (the start
// lock, a center), so the wait is short; it is bounded all the same, because
// a window that closes must not hang. A callback that stops its own node
// cannot wait: the server's end waits for the very thread that runs the
// callback. There, and past the bound, the thread is retired: freed once it
// has ended, and keeping the library loaded until then.
void NQNode::dropServer()
{
    if (!server)
        return;
    NQThread *serverThread = server->thread;
    const bool onCallbackThread = server->dispatcher->isCallbackThread();
    server->detachCallback();
    server->requestStop();
    server->deleteLater();
    server = nullptr;
    if (!onCallbackThread && serverThread->waitGone(QDeadlineTimer(stopWaitMs))) {
        delete serverThread;
        return;
    }
    if (!onCallbackThread)
        qWarning() << "NQNode::stop the node's thread is still ending";
    NQThread::retire(serverThread);
}
