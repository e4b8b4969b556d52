#include "NQCenterServer.h"

#include "NQListener.h"
#include "NQLogging.h"
#include "NQNames.h"
#include "NQThread.h"
#include "platform/ExitProcess.h"

#include <QDebug>
#include <QLocalServer>
#include <QThread>

NQCenterServer *NQCenterServer::instance()
{
    static NQCenterServer *center = new NQCenterServer;
    return center;
}

NQCenterServer::NQCenterServer()
    : thread(new NQThread)
    , server(new QLocalServer(this))
    , listener(new NQListener(server, this))
{
    connect(listener, &NQListener::taken, this, &NQCenterServer::endForOtherCenter);
    moveToThread(thread);
    thread->start(QThread::InheritPriority);
}

bool NQCenterServer::launch()
{
    bool listening = false;
    QMetaObject::invokeMethod(this, "startInner", Qt::BlockingQueuedConnection,
                              Q_RETURN_ARG(bool, listening),
                              Q_ARG(QString, nqnames::meetingPath(nqnames::meetingFolder(),
                                                                  nqnames::centerServerName())));
    return listening;
}

bool NQCenterServer::startInner(QString strServerName)
{
    connect(server, &QLocalServer::newConnection, this, &NQCenterServer::onSocketConnection);
    if (listener->listen(strServerName))
        return true;
    // Another process serves the name although this one owns the single
    // instance segment: two centers would split the nodes between them.
    qWarning() << "NQCenterServer::startInner listen failed:" << server->errorString();
    platform::exitProcessNow(-1);
}

// A center started while this one had lost its socket (its folder went with
// the user's session) serves the name now. Its nodes find that one when
// this one's connections close.
void NQCenterServer::endForOtherCenter()
{
    qWarning() << "NQCenterServer::endForOtherCenter another center serves the nodes now";
    platform::exitProcessNow(-1);
}

void NQCenterServer::onSocketConnection()
{
    qDebug() << "NQCenterServer::onSocketConnection";
    QLocalSocket *socket = server->nextPendingConnection();
    if (!socket)
        return;
    connect(socket, &QLocalSocket::readyRead, this, &NQCenterServer::onSocketReadyRead);
    connect(socket, &QLocalSocket::errorOccurred, this, &NQCenterServer::onSocketError);
    connect(socket, &QLocalSocket::stateChanged, this, &NQCenterServer::onSocketStateChanged);
    sockets.insert(socket);
}

void NQCenterServer::onSocketReadyRead()
{
    qCDebug(nqSocketLog, "NQCenterServer::onSocketReadyRead");
    auto *socket = qobject_cast<QLocalSocket *>(sender());
    if (!socket || !sockets.contains(socket))
        return;
    // Relaying only queues bytes on other sockets: the reader stays put.
    NQFrameReader &reader = readers[socket];
    reader.append(socket->readAll());
    NQFrame frame;
    while (reader.next(&frame))
        relay(socket, frame);
    if (reader.oversized()) {
        qWarning() << "NQCenterServer::onSocketReadyRead oversized frame, closing the socket";
        dropSocket(socket);
    }
}

void NQCenterServer::relay(QLocalSocket *writer, const NQFrame &frame)
{
    for (QLocalSocket *socket : qAsConst(sockets)) {
        if (socket != writer)
            socket->write(frame.data(), frame.size());
    }
}

void NQCenterServer::onSocketError(QLocalSocket::LocalSocketError error)
{
    qDebug() << "NQCenterServer::onSocketError";
    if (error == QLocalSocket::PeerClosedError)
        dropSocket(qobject_cast<QLocalSocket *>(sender()));
}

void NQCenterServer::onSocketStateChanged(QLocalSocket::LocalSocketState state)
{
    qDebug() << "NQCenterServer::onSocketStateChanged";
    if (state == QLocalSocket::ClosingState || state == QLocalSocket::UnconnectedState)
        dropSocket(qobject_cast<QLocalSocket *>(sender()));
}

// Reached up to three times for one closing socket; only the first acts.
void NQCenterServer::dropSocket(QLocalSocket *socket)
{
    if (!sockets.remove(socket))
        return;
    readers.remove(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
