#pragma once

#include "NQFrameReader.h"
#include "NQHandOff.h"
#include "NQSendWindow.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QLocalSocket>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

class INQNodeCallback;
class NQCenterLink;
class NQDispatcher;
class NQListener;
class QLocalServer;
class NQThread;

// Everything of a node that touches sockets, on a thread of its own: the
// local server that peers connect to, the connection to the center (found
// by its link), and the direct sockets to peers.
class NQNodeServer : public QObject
{
    Q_OBJECT
    // The node reads the name and the threads directly: they are fixed
    // before the thread starts.
    friend class NQNode;
public:
    explicit NQNodeServer(INQNodeCallback *callback);
    ~NQNodeServer() override;

    // Called on the user's thread: no callback reaches the user after this.
    void detachCallback();
    // Called on the user's thread before the server is deleted: the
    // center's starter drops its waits, and a user waiting for the first
    // center to be reached is let go.
    void requestStop();
    // On the user's thread, after start: returns once the first attempt to
    // reach a center is over, reached or not, or the node stops.
    void waitUntilJoined();
    // From the user's thread: the packet is announced (announce) or sent to
    // the peer on the server's thread, after everything handed off before.
    // False, with nothing handed off, when the peer holds its mark of
    // packets not yet taken by its socket.
    bool handOff(const QString &peer, const QByteArray &data, bool announce);

public slots:
    bool start();
    void online(QByteArray data);
    void send(QString strNodeName, QByteArray data);
    QString getNodeName();
    void onSocketConnection();
    void onSocketReadyRead();
    void onSocketError(QLocalSocket::LocalSocketError error);
    void onSocketStateChanged(QLocalSocket::LocalSocketState state);

private:
    struct Outgoing
    {
        QString peer;
        QByteArray data;
        bool announce = false;
    };

    Q_INVOKABLE void sendHandedOff();
    Q_INVOKABLE void resumeDrained();
    QLocalSocket *writeFrame(const QString &peer, const QByteArray &data);
    void onSocketBytesWritten();
    void readSocket(QLocalSocket *socket);
    void drainHeld(QLocalSocket *socket);
    void onCenterReached(QLocalSocket *socket);
    bool isPeerName(const QString &name);
    void removeLeftoverSockets();
    void connectNode(const QString &name);
    void dialPeer(QLocalSocket *socket, QDeadlineTimer deadline, int pauseMs);
    void closeSocket(QLocalSocket *socket);
    void forgetPeer(QLocalSocket *socket);
    void watchSocket(QLocalSocket *socket);
    void handleFrame(QLocalSocket *socket, const NQFrame &frame);
    void identifyPeer(QLocalSocket *socket, const NQFrame &frame);
    void reportOnline(const QString &name, const QByteArray &data);
    void postOnline(const QString &name, const QByteArray &data);
    bool postData(const QString &name, const QByteArray &data);
    void postOffline(const QString &name);

    QByteArray onlinePacket;
    QString nodeName;
    // The name's field of every frame this node sends, encoded once.
    QByteArray nameField;
    NQThread *thread;
    QLocalServer *server;
    NQListener *listener;
    // The reached center's socket; null while a center is being found.
    QLocalSocket *centerSocket = nullptr;
    QSet<QLocalSocket *> pending;
    QMap<QString, QLocalSocket *> nodeSockets;
    QMap<QLocalSocket *, QString> socketNames;
    // What each peer last announced, as the user was told it.
    QHash<QString, QByteArray> announced;
    // The user's own folder that the node's names lie in; empty when the
    // user has none, and then the node cannot start.
    QString folder;
    NQCenterLink *center;
    NQDispatcher *dispatcher;

    // Set while being destroyed: closing the center socket then is no loss.
    bool closing = false;
    QHash<QLocalSocket *, NQFrameReader> readers;
    // Sockets this node opened to peers before it announced itself, on which
    // nothing has been written yet.
    QSet<QLocalSocket *> unannounced;
    NQHandOff<Outgoing> outbox;
    NQSendWindow window;
    // Peer sockets left unread while their peer's data waits in the
    // dispatcher's queue, and the peers that have drained since.
    QSet<QLocalSocket *> held;
    NQHandOff<QString> drained;
};
