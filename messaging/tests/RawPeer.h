#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QString>

// A socket driven by hand, for speaking the wire format to a node or the
// center directly: split frames, batched frames, oversized ones.
class RawPeer
{
public:
    // The name is looked up where the user's nodes and center meet.
    bool connectTo(const QString &serverName);
    void write(const QByteArray &bytes);
    // Waits until exactly these bytes have arrived (more is a failure).
    bool receive(const QByteArray &expected, int timeoutMs = 10000);
    // Collects what arrives within the given time, and what had arrived.
    QByteArray receivedWithin(int ms);
    bool waitForDisconnected(int timeoutMs = 10000);

    QLocalSocket socket;
    QByteArray received;
};

// A server that takes no connection for now: its queue of connections not
// yet accepted is full, so that a connect to it fails as "try again".
class FullServer
{
public:
    explicit FullServer(const QString &path);
    ~FullServer();
    // Empties the queue, then accepts the next connection into the peer.
    bool acceptNext(RawPeer &peer, int timeoutMs);

private:
    QByteArray path;
    int listener;
    int filler;
};

// Writes a socket file that nobody serves, as a killed owner leaves it.
void makeStaleSocketFile(const QString &path);

// Where a name lies in the folder that the user's nodes and center meet in.
QString meetingPath(const QString &name);
