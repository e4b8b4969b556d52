#include "NQNodeServer.h"

#include "NQDispatcher.h"
#include "NQLogging.h"
#include "NQNames.h"
#include "NQThread.h"
#include "platform/LocalServerName.h"
#include "platform/Locate.h"
#include "platform/ProcessWatch.h"
#include "platform/StartDetached.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QLocalServer>
#include <QLockFile>
#include <QDeadlineTimer>
#include <QThread>
#include <QVarLengthArray>

NQNodeServer::NQNodeServer(INQNodeCallback *callback)
    : thread(new NQThread)
    , server(new QLocalServer(this))
    , centerSocket(new QLocalSocket(this))
    , folder(nqnames::meetingFolder())
    , lockFile(new QLockFile(nqnames::meetingPath(folder, nqnames::lockFileName())))
    , dispatcher(new NQDispatcher(callback))
    , outbox(this, staticMetaObject, "sendHandedOff()")
{
    nodeName = QString::number(QCoreApplication::applicationPid());
    nameField = NQFrame::encodeName(nodeName);
    // The thread ends when this object is destroyed on it; the node frees
    // the thread's object once it has ended.
    moveToThread(thread);
    thread->start(QThread::InheritPriority);
}

NQNodeServer::~NQNodeServer()
{
    qDebug() << "NQNodeServer::~NQNodeServer";
    closing = true;
    detachCallback();
    const QList<QLocalSocket *> sockets = pending.values() + socketNames.keys();
    if (centerSocket)
        closeSocket(centerSocket);
    for (QLocalSocket *socket : sockets)
        closeSocket(socket);
    server->close();
    delete dispatcher;
    delete lockFile;
    { const std::lock_guard<std::mutex> stopped(stopMutex); }
    thread->quit();
}

void NQNodeServer::detachCallback()
{
    dispatcher->detachCallback();
}

// Wakes the server thread under the lock: the server is deleted only after
// this, and its destructor takes the lock too, so the wake-up is over before
// the condition goes (ThreadSanitizer sees no order through Qt's queue).
void NQNodeServer::requestStop()
{
    const std::lock_guard<std::mutex> locker(stopMutex);
    stopping = true;
    stopWake.notify_all();
}

// False when the node stops first.
bool NQNodeServer::pauseUnlessStopping(int ms)
{
    std::unique_lock<std::mutex> locker(stopMutex);
    return !stopWake.wait_for(locker, std::chrono::milliseconds(ms), [this] { return stopping; });
}

bool NQNodeServer::stopRequested()
{
    const std::lock_guard<std::mutex> locker(stopMutex);
    return stopping;
}

bool NQNodeServer::start()
{
    qDebug() << "NQNodeServer::start";
    connect(server, &QLocalServer::newConnection, this, &NQNodeServer::onSocketConnection);
    if (!platform::listenReclaiming(*server, nqnames::meetingPath(folder, nodeName))) {
        qWarning() << "NQNodeServer::start listen failed:" << server->errorString();
        return false;
    }
    removeLeftoverSockets();
    connectCenter();
    return true;
}

void NQNodeServer::online(QByteArray data)
{
    onlinePacket = NQFrame::encode(nameField, data);
    // Kept even without a center: peers that announce later get it directly.
    if (centerSocket && centerConnected)
        centerSocket->write(onlinePacket);
}

void NQNodeServer::send(QString strNodeName, QByteArray data)
{
    // Out now rather than on the next turn of the event loop: a reply is
    // often awaited, and the frame is already whole.
    if (QLocalSocket *socket = writeFrame(strNodeName, data))
        socket->flush();
}

// A peer takes the first frame on a socket that it accepted for the sender's
// announcement. On a socket opened before this node announced itself the
// announcement goes first now; a node that has none yet sends its first
// packet twice, once to be taken for the announcement, as peers always did,
// and once to be delivered.
QLocalSocket *NQNodeServer::writeFrame(const QString &peer, const QByteArray &data)
{
    QLocalSocket *socket = nodeSockets.value(peer);
    if (socket && unannounced.remove(socket))
        socket->write(onlinePacket.isEmpty() ? NQFrame::encode(nameField, data) : onlinePacket);
    if (socket)
        socket->write(NQFrame::encode(nameField, data));
    return socket;
}

void NQNodeServer::handOff(const QString &peer, const QByteArray &data, bool announce)
{
    outbox.push({peer, data, announce});
}

// A burst of packets to one peer leaves in one write to its socket, at the
// burst's end; a lone packet leaves at once, as from send().
void NQNodeServer::sendHandedOff()
{
    QVarLengthArray<QLocalSocket *, 4> written;
    Outgoing next;
    while (outbox.take(&next)) {
        if (next.announce) {
            online(next.data);
        } else if (QLocalSocket *socket = writeFrame(next.peer, next.data)) {
            if (!written.contains(socket))
                written.append(socket);
        }
    }
    for (QLocalSocket *socket : written)
        socket->flush();
}

QString NQNodeServer::getNodeName()
{
    return nodeName;
}

void NQNodeServer::onSocketConnection()
{
    qDebug() << "NQNodeServer::onSocketConnection";
    QLocalSocket *socket = server->nextPendingConnection();
    if (!socket)
        return;
    watchSocket(socket);
    pending.insert(socket);
}

void NQNodeServer::watchSocket(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::readyRead, this, &NQNodeServer::onSocketReadyRead);
    connect(socket, &QLocalSocket::errorOccurred, this, &NQNodeServer::onSocketError);
    connect(socket, &QLocalSocket::stateChanged, this, &NQNodeServer::onSocketStateChanged);
}

void NQNodeServer::onSocketReadyRead()
{
    qCDebug(nqSocketLog, "NQNodeServer::onSocketReadyRead");
    auto *socket = qobject_cast<QLocalSocket *>(sender());
    if (!socket)
        return;
    readers[socket].append(socket->readAll());
    // The reader is looked up again for each frame: handling one may close
    // the socket and drop its reader. A frame keeps its own bytes alive.
    NQFrame frame;
    auto reader = readers.find(socket);
    while (reader != readers.end() && reader->next(&frame)) {
        handleFrame(socket, frame);
        reader = readers.find(socket);
    }
    if (reader != readers.end() && reader->oversized()) {
        qWarning() << "NQNodeServer::onSocketReadyRead oversized frame, closing the socket";
        closeSocket(socket);
    }
}

void NQNodeServer::handleFrame(QLocalSocket *socket, const NQFrame &frame)
{
    if (socket == centerSocket) {
        const QString name = frame.name();
        if (name == nodeName || !isPeerName(name))
            return;
        reportOnline(name, frame.payload());
        if (!nodeSockets.contains(name))
            connectNode(name);
    } else if (pending.contains(socket)) {
        identifyPeer(socket, frame);
    } else if (socketNames.contains(socket)) {
        // The socket says who is talking, not the name the frame carries.
        postData(socketNames.value(socket), frame.payload());
    }
}

void NQNodeServer::identifyPeer(QLocalSocket *socket, const NQFrame &frame)
{
    const QString name = frame.name();
    if (!isPeerName(name))
        return;
    pending.remove(socket);
    nodeSockets[name] = socket;
    socketNames[socket] = name;
    reportOnline(name, frame.payload());
}

// A peer's name becomes the path of the socket this node connects to it: any
// other process on the machine could otherwise make the node connect, and
// write its announcement, wherever it likes.
bool NQNodeServer::isPeerName(const QString &name)
{
    if (nqnames::isNodeName(name))
        return true;
    qWarning() << "NQNodeServer::onSocketReadyRead dropping a frame from a peer named" << name.left(64);
    return false;
}

// A node that was killed leaves its socket file behind, named by its process
// id; without this the folder would fill with them. A name goes only when
// its process has ended and nobody accepts under it.
void NQNodeServer::removeLeftoverSockets()
{
    const QStringList names = QDir(folder).entryList(QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (name != nodeName && nqnames::isNodeName(name) && platform::processEnded(name.toLongLong()))
            platform::removeStaleServerName(nqnames::meetingPath(folder, name));
    }
}

// One announcement can arrive more than once: through the center and on a
// direct socket when two nodes announced at the same moment, or again
// after a center restart. The user hears of it once while the peer stays.
void NQNodeServer::reportOnline(const QString &name, const QByteArray &data)
{
    const auto known = announced.constFind(name);
    if (known != announced.constEnd() && *known == data)
        return;
    announced.insert(name, data);
    postOnline(name, data);
}

void NQNodeServer::onSocketError(QLocalSocket::LocalSocketError error)
{
    if (error == QLocalSocket::PeerClosedError)
        closeSocket(qobject_cast<QLocalSocket *>(sender()));
}

// A socket that ends unconnected without passing through the closing state
// (a refused connect, an abort) is closed as well; closeSocket acts once.
void NQNodeServer::onSocketStateChanged(QLocalSocket::LocalSocketState state)
{
    if (state == QLocalSocket::ClosingState || state == QLocalSocket::UnconnectedState)
        closeSocket(qobject_cast<QLocalSocket *>(sender()));
}

void NQNodeServer::connectCenter()
{
    if (!centerSocket)
        centerSocket = new QLocalSocket(this);
    watchSocket(centerSocket);
    if (!startCenter())
        return;
    centerConnected = reachCenter();
    if (centerConnected && !onlinePacket.isEmpty())
        // Back on a new center: a peer that announced itself while this node
        // was between centers never reached it, and would never learn of it
        // either. Peers that know this node already do not report it again.
        centerSocket->write(onlinePacket);
    else if (!centerConnected && !stopRequested())
        qWarning() << "NQNodeServer::connectCenter NQCenter not reached:" << centerSocket->errorString();
}

// The lock keeps nodes that start together from starting the center all at
// once. It covers the start and the pause in which a new center reaches its
// listen, and not the wait for the connection: a lock held longer than its
// stale time is taken for a dead node's and removed by the next node, whose
// own lock the first would then remove in turn.
bool NQNodeServer::startCenter()
{
    if (stopRequested())
        return false;
    while (!lockFile->tryLock(0)) {
        if (!pauseUnlessStopping(nqnames::centerRetryPauseMs))
            return false;
    }
    const QString program = platform::programPath(nqnames::centerProgram());
    if (!platform::startDetached(program, {}))
        qWarning() << "NQNodeServer::connectCenter start NQCenter.exe failed:" << program;
    const bool paused = pauseUnlessStopping(nqnames::centerStartPauseMs);
    lockFile->unlock();
    return paused;
}

// A center that is still starting (a loaded machine can take longer than the
// pause before connecting) has no server to connect to yet, and a local
// connect to a missing server fails at once. Asking again until the
// connection wait is over keeps the node from giving up on a center that
// is merely slow. The waits are short slices, so that a stop ends them.
bool NQNodeServer::reachCenter()
{
    QDeadlineTimer deadline(nqnames::centerConnectWaitMs);
    while (!stopRequested()) {
        if (centerSocket->state() == QLocalSocket::UnconnectedState)
            centerSocket->connectToServer(nqnames::meetingPath(folder, nqnames::centerServerName()),
                                          QIODevice::ReadWrite);
        const qint64 slice = qMin<qint64>(deadline.remainingTime(), nqnames::centerRetryPauseMs);
        if (centerSocket->waitForConnected(int(slice)))
            return true;
        if (deadline.hasExpired())
            return false;
        if (centerSocket->state() != QLocalSocket::UnconnectedState)
            continue;
        const auto error = centerSocket->error();
        const bool notYetListening = error == QLocalSocket::ServerNotFoundError
                                     || error == QLocalSocket::ConnectionRefusedError;
        if (!notYetListening || !pauseUnlessStopping(nqnames::centerRetryPauseMs))
            return false;
    }
    return false;
}

void NQNodeServer::connectNode(const QString &name)
{
    auto *socket = new QLocalSocket(this);
    watchSocket(socket);
    // Known before connecting, so that a connect refused at once is closed
    // (and reported offline) like any other.
    nodeSockets[name] = socket;
    socketNames[socket] = name;
    const QByteArray announcement = onlinePacket;
    if (!announcement.isEmpty()) {
        connect(socket, &QLocalSocket::connected, socket,
                [socket, announcement] { socket->write(announcement); });
    } else {
        unannounced.insert(socket);
    }
    // The socket gets a path of its own that shares no storage with the names
    // handed to the dispatcher's thread. Qt's library is built without the
    // race detector: when the socket freed a name whose other share that
    // thread had just released, the detector saw no order between the two.
    socket->connectToServer(nqnames::meetingPath(folder, name), QIODevice::ReadWrite);
}

void NQNodeServer::closeSocket(QLocalSocket *socket)
{
    const bool isCenter = socket && socket == centerSocket;
    if (!socket || !(isCenter || pending.contains(socket) || socketNames.contains(socket)))
        return;
    // A center that was never reached has nothing to replace.
    if (isCenter && !centerConnected && !closing)
        return;
    qDebug() << "NQNodeServer::closeSocket";
    readers.remove(socket);
    unannounced.remove(socket);
    if (isCenter) {
        centerConnected = false;
        centerSocket = nullptr;
    } else if (!pending.remove(socket)) {
        forgetPeer(socket);
    }
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (isCenter && !closing)
        connectCenter();
}

// A peer can have two sockets here: the one this node opened when it learned
// of the peer before announcing itself, and the one the peer opened when it
// learned of this node. The peer is gone when the last of them closes.
void NQNodeServer::forgetPeer(QLocalSocket *socket)
{
    const QString name = socketNames.take(socket);
    if (QLocalSocket *other = socketNames.key(name)) {
        if (nodeSockets.value(name) == socket)
            nodeSockets[name] = other;
        return;
    }
    if (nodeSockets.value(name) == socket)
        nodeSockets.remove(name);
    announced.remove(name);
    postOffline(name);
}

void NQNodeServer::postOnline(const QString &name, const QByteArray &data)
{
    dispatcher->post(NQDispatcher::Notice::Online, name, data);
}

void NQNodeServer::postData(const QString &name, const QByteArray &data)
{
    dispatcher->post(NQDispatcher::Notice::Data, name, data);
}

void NQNodeServer::postOffline(const QString &name)
{
    dispatcher->post(NQDispatcher::Notice::Offline, name);
}
