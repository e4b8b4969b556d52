#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;
class NQThread;

// The least a node's thread layout allows: in each process a socket thread
// and a dispatcher thread, packets handed from the sender's thread to the
// socket thread and from the socket thread to the dispatcher by the same
// queued calls, over one plain length-prefixed socket. No names, no center,
// no packet registry: what a node costs above this is its own.
// One object per process side, kept for the life of the program.
class FloorNode : public QObject
{
public:
    // Called on the dispatcher thread with each payload, in order.
    using Receiver = std::function<void(const QByteArray &)>;

    explicit FloorNode(Receiver receiver);

    // Both block the caller until the socket thread has done it.
    bool listen(const QString &name);
    bool connectTo(const QString &name);
    // From any thread.
    void send(const QByteArray &payload);

private:
    void adopt(QLocalSocket *accepted);
    void readFrames();
    void write(const QByteArray &payload);

    Receiver receiver;
    NQThread *socketThread;
    NQThread *dispatchThread;
    QObject *dispatcher;
    QLocalServer *server = nullptr;
    QLocalSocket *socket = nullptr;
    QByteArray buffer;
    bool flushPosted = false;
};
