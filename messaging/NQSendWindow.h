#pragma once

#include "NQBacklog.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <deque>

class QLocalSocket;

// What a node has accepted for its peers and not yet handed to the system,
// per peer against a mark. A packet is admitted on the user's thread and
// counted until its last byte has left the peer's socket; while the socket
// is not connected yet its frames wait here, in order. A packet that never
// leaves is counted when its socket goes, so that nothing send() accepted is
// lost unseen.
class NQSendWindow
{
public:
    explicit NQSendWindow(qint64 mark);

    // From any thread: whether the frame of this name's field and payload
    // may go to the peer. False, with a log line, when the peer holds its
    // mark or could never take a payload this large.
    bool admit(const QString &peer, const QByteArray &nameField, const QByteArray &payload);

    // The rest on the server's thread.
    // A frame for the peer on its socket, admitted before unless it is not
    // one of the user's packets (the announcement that goes first).
    void write(QLocalSocket *socket, const QString &peer, const QByteArray &frame, bool packet);
    // An admitted frame that has no socket to go to.
    void cancel(const QString &peer, qint64 frameBytes);
    // The socket's frames go to the system now, those held while it was
    // connecting first.
    void flush(QLocalSocket *socket);
    // Whether the socket has frames that have not all left it.
    bool holds(QLocalSocket *socket) const;
    // After writing and whenever the socket hands bytes to the system.
    void countLeft(QLocalSocket *socket);
    // Forgets a closing socket's frames; the packets that did not leave.
    int drop(QLocalSocket *socket);
    // Forgets every socket's frames; the packets that did not leave, per peer.
    QHash<QString, int> dropAll();

    static void logDropped(const char *where, int packets, const QString &peer);

private:
    // Frames written to a peer's socket that have not all left it yet.
    struct Unsent
    {
        QString peer;
        qint64 written = 0;
        qint64 left = 0;
        // Where each packet's frame ends, counted as written.
        std::deque<qint64> frameEnds;
        // Written while the socket was not connected: nothing takes them yet.
        QByteArray held;
    };

    // Bytes handed off to each peer and not yet taken by the system.
    NQBacklog outgoing;
    QHash<QLocalSocket *, Unsent> unsent;
};
