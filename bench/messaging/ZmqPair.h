#pragma once

#include <QByteArray>
#include <QString>

// One end of a ZeroMQ pair socket over ipc, with the library's own I/O
// thread (one per end) doing the socket work. Sends and receives block the
// calling thread, which is how a ZeroMQ user talks.
class ZmqPair
{
public:
    ZmqPair();
    ~ZmqPair();
    ZmqPair(const ZmqPair &) = delete;
    ZmqPair &operator=(const ZmqPair &) = delete;

    bool bind(const QString &endpoint);
    bool connect(const QString &endpoint);
    bool send(const QByteArray &bytes);
    // Waits at most timeoutMs (-1: for ever) for the next message.
    bool receive(QByteArray *bytes, int timeoutMs);

private:
    void *context;
    void *socket;
    int receiveTimeoutMs = -1;
};
