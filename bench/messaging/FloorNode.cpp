#include "FloorNode.h"

#include "NQThread.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QtEndian>

FloorNode::FloorNode(Receiver receiver)
    : receiver(std::move(receiver))
    , socketThread(new NQThread)
    , dispatchThread(new NQThread)
    , dispatcher(new QObject)
{
    dispatcher->moveToThread(dispatchThread);
    moveToThread(socketThread);
    dispatchThread->start();
    socketThread->start();
}

bool FloorNode::listen(const QString &name)
{
    bool listening = false;
    QMetaObject::invokeMethod(this, [this, name] {
        server = new QLocalServer(this);
        connect(server, &QLocalServer::newConnection, this,
                [this] { adopt(server->nextPendingConnection()); });
        QLocalServer::removeServer(name);
        return server->listen(name);
    }, Qt::BlockingQueuedConnection, &listening);
    return listening;
}

bool FloorNode::connectTo(const QString &name)
{
    bool connected = false;
    QMetaObject::invokeMethod(this, [this, name] {
        auto *outgoing = new QLocalSocket(this);
        outgoing->connectToServer(name);
        if (!outgoing->waitForConnected(5000))
            return false;
        adopt(outgoing);
        return true;
    }, Qt::BlockingQueuedConnection, &connected);
    return connected;
}

void FloorNode::adopt(QLocalSocket *accepted)
{
    socket = accepted;
    connect(socket, &QLocalSocket::readyRead, this, &FloorNode::readFrames);
}

void FloorNode::send(const QByteArray &payload)
{
    QMetaObject::invokeMethod(this, [this, payload] { write(payload); }, Qt::QueuedConnection);
}

// One write per frame; the flush follows the sends already queued, so a
// lone packet leaves at once and a burst leaves in few system calls.
void FloorNode::write(const QByteArray &payload)
{
    if (!socket)
        return;
    QByteArray frame(4 + payload.size(), Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(payload.size()), frame.data());
    memcpy(frame.data() + 4, payload.constData(), size_t(payload.size()));
    socket->write(frame);
    if (!flushPosted) {
        flushPosted = true;
        QMetaObject::invokeMethod(this, [this] {
            flushPosted = false;
            socket->flush();
        }, Qt::QueuedConnection);
    }
}

void FloorNode::readFrames()
{
    buffer.append(socket->readAll());
    int offset = 0;
    while (buffer.size() - offset >= 4) {
        const int length = int(qFromBigEndian<quint32>(buffer.constData() + offset));
        if (buffer.size() - offset - 4 < length)
            break;
        const QByteArray payload(buffer.constData() + offset + 4, length);
        QMetaObject::invokeMethod(dispatcher, [this, payload] { receiver(payload); }, Qt::QueuedConnection);
        offset += 4 + length;
    }
    buffer.remove(0, offset);
}
