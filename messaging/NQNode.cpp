#include "NQNode.h"

#include "NQNodeServer.h"

#include <QCoreApplication>

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
    return listening;
}

bool NQNode::online(INQData *packet)
{
    if (server)
        QMetaObject::invokeMethod(server, "online", Q_ARG(QByteArray, packet->toByteArray()));
    return true;
}

bool NQNode::send(QString nodeName, INQData *packet)
{
    if (server) {
        QMetaObject::invokeMethod(server, "send", Q_ARG(QString, nodeName),
                                  Q_ARG(QByteArray, packet->toByteArray()));
    }
    return true;
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
// user once stop returns; the sockets close later on the server's thread.
void NQNode::dropServer()
{
    if (!server)
        return;
    server->detachCallback();
    server->deleteLater();
    server = nullptr;
}
