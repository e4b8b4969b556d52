#pragma once

#include "NQFrameReader.h"
#include "NQHandOff.h"

#include <QByteArray>
#include <QHash>
#include <QLocalSocket>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <mutex>

class INQNodeCallback;
class NQDispatcher;
class QLocalServer;
class QLockFile;
class NQThread;

// Everything of a node that touches sockets, on a thread of its own: the
// local server that peers connect to, the connection to the center, the
// direct sockets to peers and the lock that serialises starting the center.
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
    // Called on the user's thread before the server is deleted: waiting for
    // the start lock, the pause after starting the center and the attempts
    // to reach it end at once, so that the deletion is not held up.
    void requestStop();
    // From the user's thread: the packet is announced (announce) or sent to
    // the peer on the server's thread, after everything handed off before.
    void handOff(const QString &peer, const QByteArray &data, bool announce);

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
    QLocalSocket *writeFrame(const QString &peer, const QByteArray &data);
    void connectCenter();
    bool startCenter();
    bool reachCenter();
    bool pauseUnlessStopping(int ms);
    bool stopRequested();
    bool isPeerName(const QString &name);
    void removeLeftoverSockets();
    void connectNode(const QString &name);
    void closeSocket(QLocalSocket *socket);
    void forgetPeer(QLocalSocket *socket);
    void watchSocket(QLocalSocket *socket);
    void handleFrame(QLocalSocket *socket, const NQFrame &frame);
    void identifyPeer(QLocalSocket *socket, const NQFrame &frame);
    void reportOnline(const QString &name, const QByteArray &data);
    void postOnline(const QString &name, const QByteArray &data);
    void postData(const QString &name, const QByteArray &data);
    void postOffline(const QString &name);

    QByteArray onlinePacket;
    QString nodeName;
    // The name's field of every frame this node sends, encoded once.
    QByteArray nameField;
    NQThread *thread;
    QLocalServer *server;
    QLocalSocket *centerSocket;
    QSet<QLocalSocket *> pending;
    QMap<QString, QLocalSocket *> nodeSockets;
    QMap<QLocalSocket *, QString> socketNames;
    // What each peer last announced, as the user was told it.
    QHash<QString, QByteArray> announced;
    // The user's own folder that the node's names lie in; empty when the
    // user has none, and then the node cannot start.
    QString folder;
    QLockFile *lockFile;
    NQDispatcher *dispatcher;

    // Only a center connection that was established is replaced when it
    // closes; a center that could not be reached is not retried.
    bool centerConnected = false;
    // Set while being destroyed: closing the center socket then is no loss.
    bool closing = false;
    QHash<QLocalSocket *, NQFrameReader> readers;
    // Sockets this node opened to peers before it announced itself, on which
    // nothing has been written yet.
    QSet<QLocalSocket *> unannounced;
    // Set from the user's thread, read by the server thread's waits.
    std::mutex stopMutex;
    std::condition_variable stopWake;
    bool stopping = false;
    NQHandOff<Outgoing> outbox;
};
