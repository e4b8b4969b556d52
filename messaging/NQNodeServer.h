#pragma once

#include "NQBacklog.h"
#include "NQFrameReader.h"
#include "NQHandOff.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QLocalSocket>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>

class INQNodeCallback;
class NQDispatcher;
class NQListener;
class QLocalServer;
class QLockFile;
class QTimer;
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

    // Frames written to a peer's socket that have not all left it yet.
    struct Unsent
    {
        QString peer;
        qint64 written = 0;
        qint64 left = 0;
        // Where each frame ends, counted as written.
        std::deque<qint64> frameEnds;
    };

    Q_INVOKABLE void sendHandedOff();
    Q_INVOKABLE void resumeDrained();
    bool admit(const QString &peer, const QByteArray &data);
    QLocalSocket *writeFrame(const QString &peer, const QByteArray &data);
    void countLeft(QLocalSocket *socket);
    void onSocketBytesWritten();
    int dropUnsent(QLocalSocket *socket);
    void logDropped(const char *where, int packets, const QString &peer);
    void readSocket(QLocalSocket *socket);
    void drainHeld(QLocalSocket *socket);
    void connectCenter();
    void startCenterAside();
    bool startCenter();
    Q_INVOKABLE void onCenterStarted();
    bool pauseUnlessStopping(int ms);
    void askCenter();
    void onCenterConnected();
    void onCenterError(QLocalSocket::LocalSocketError error);
    void joinCenter(bool reached);
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
    bool postData(const QString &name, const QByteArray &data);
    void postOffline(const QString &name);

    QByteArray onlinePacket;
    QString nodeName;
    // The name's field of every frame this node sends, encoded once.
    QByteArray nameField;
    NQThread *thread;
    QLocalServer *server;
    NQListener *listener;
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
    // Nothing that waits runs on the server's thread, so that the direct
    // sockets keep flowing while a center is found: the start lock (whose
    // taking writes through to the disk) and starting the program run on a
    // thread of their own, and the connection is asked for in timed steps.
    enum class CenterStep { Idle, Starting, Connecting };
    CenterStep centerStep = CenterStep::Idle;
    QTimer *centerTimer;
    QDeadlineTimer centerDeadline;
    NQThread *centerStarter = nullptr;
    // Set while being destroyed: closing the center socket then is no loss.
    bool closing = false;
    QHash<QLocalSocket *, NQFrameReader> readers;
    // Sockets this node opened to peers before it announced itself, on which
    // nothing has been written yet.
    QSet<QLocalSocket *> unannounced;
    // Between the user's thread, which waits in start, and the server's.
    std::mutex stopMutex;
    std::condition_variable stopWake;
    bool stopping = false;
    bool joined = false;
    bool centerStarted = false;
    NQHandOff<Outgoing> outbox;
    // Bytes handed off to each peer and not yet taken by the system.
    NQBacklog outgoing;
    QHash<QLocalSocket *, Unsent> unsent;
    // Peer sockets left unread while their peer's data waits in the
    // dispatcher's queue, and the peers that have drained since.
    QSet<QLocalSocket *> held;
    NQHandOff<QString> drained;
};
