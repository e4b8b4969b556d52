#include "NQNodeServer.h"

#include "NQDispatcher.h"
#include "NQListener.h"
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
#include <QTimer>
#include <QVarLengthArray>

namespace {

// What a node keeps for one peer that is not reading, in frame bytes: the
// high-water mark of what its socket has not yet handed to the system.
constexpr qint64 peerUnsentMark = 4 * 1024 * 1024;
// What the socket of a peer whose data waits in the dispatcher's queue may
// still read ahead; the rest stays with the system, which makes the peer's
// writes wait in turn.
constexpr qint64 heldReadBytes = 64 * 1024;

} // namespace

NQNodeServer::NQNodeServer(INQNodeCallback *callback)
    : thread(new NQThread)
    , server(new QLocalServer(this))
    , listener(new NQListener(server, this))
    , centerSocket(new QLocalSocket(this))
    , folder(nqnames::meetingFolder())
    , lockFile(new QLockFile(nqnames::meetingPath(folder, nqnames::lockFileName())))
    , dispatcher(new NQDispatcher(callback))
    , centerTimer(new QTimer(this))
    , outbox(this, staticMetaObject, "sendHandedOff()")
    , outgoing(peerUnsentMark)
    , drained(this, staticMetaObject, "resumeDrained()")
{
    nodeName = QString::number(QCoreApplication::applicationPid());
    nameField = NQFrame::encodeName(nodeName);
    centerTimer->setSingleShot(true);
    connect(centerTimer, &QTimer::timeout, this, &NQNodeServer::askCenter);
    dispatcher->onDrained([this](const QString &peer) { drained.push(peer); });
    // The thread ends when this object is destroyed on it; the node frees
    // the thread's object once it has ended.
    moveToThread(thread);
    thread->start(QThread::InheritPriority);
}

NQNodeServer::~NQNodeServer()
{
    qDebug() << "NQNodeServer::~NQNodeServer";
    requestStop();
    closing = true;
    detachCallback();
    // What was accepted and cannot go now is counted, not lost unseen.
    QHash<QString, int> dropped;
    for (Outgoing next; outbox.take(&next);) {
        if (!next.announce && nodeSockets.contains(next.peer))
            ++dropped[next.peer];
    }
    for (auto it = unsent.cbegin(); it != unsent.cend(); ++it)
        dropped[it->peer] += int(it->frameEnds.size());
    for (auto it = dropped.cbegin(); it != dropped.cend(); ++it)
        logDropped("NQNodeServer::~NQNodeServer", it.value(), it.key());
    unsent.clear();
    const QList<QLocalSocket *> sockets = pending.values() + socketNames.keys();
    if (centerSocket)
        closeSocket(centerSocket);
    for (QLocalSocket *socket : sockets)
        closeSocket(socket);
    server->close();
    delete dispatcher;
    // The starter was told to stop, and drops its waits at once.
    if (centerStarter) {
        centerStarter->waitGone();
        { const std::lock_guard<std::mutex> ended(stopMutex); }
        delete centerStarter;
    }
    delete lockFile;
    { const std::lock_guard<std::mutex> stopped(stopMutex); }
    thread->quit();
}

void NQNodeServer::detachCallback()
{
    dispatcher->detachCallback();
}

// Wakes a waiting user under the lock: the server is deleted only after
// this, and its destructor takes the lock too, so the wake-up is over before
// the condition goes (ThreadSanitizer sees no order through Qt's queue).
void NQNodeServer::requestStop()
{
    const std::lock_guard<std::mutex> locker(stopMutex);
    stopping = true;
    stopWake.notify_all();
}

void NQNodeServer::waitUntilJoined()
{
    std::unique_lock<std::mutex> locker(stopMutex);
    stopWake.wait(locker, [this] { return joined || stopping; });
}

bool NQNodeServer::start()
{
    qDebug() << "NQNodeServer::start";
    connect(server, &QLocalServer::newConnection, this, &NQNodeServer::onSocketConnection);
    if (!listener->listen(nqnames::meetingPath(folder, nodeName))) {
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
    if (!admit(strNodeName, data))
        return;
    // Out now rather than on the next turn of the event loop: a reply is
    // often awaited, and the frame is already whole.
    if (QLocalSocket *socket = writeFrame(strNodeName, data)) {
        socket->flush();
        countLeft(socket);
    }
}

// Every frame written is counted until its last byte has left the socket:
// what a peer does not read stays in its socket, up to the peer's mark.
//
// A peer takes the first frame on a socket that it accepted for the sender's
// announcement. On a socket opened before this node announced itself the
// announcement goes first now; a node that has none yet sends its first
// packet twice, once to be taken for the announcement, as peers always did,
// and once to be delivered. That extra frame is counted like the packet's.
QLocalSocket *NQNodeServer::writeFrame(const QString &peer, const QByteArray &data)
{
    QLocalSocket *socket = nodeSockets.value(peer);
    const QByteArray frame = NQFrame::encode(nameField, data);
    if (!socket) {
        outgoing.remove(peer, frame.size());
        return nullptr;
    }
    Unsent &frames = unsent[socket];
    frames.peer = peer;
    if (unannounced.remove(socket)) {
        const QByteArray first = onlinePacket.isEmpty() ? frame : onlinePacket;
        socket->write(first);
        outgoing.add(peer, first.size());
        frames.written += first.size();
    }
    socket->write(frame);
    frames.written += frame.size();
    frames.frameEnds.push_back(frames.written);
    return socket;
}

// Called after writing and whenever the socket hands bytes to the system.
// The count comes from what the socket still holds, not from the signal's
// figure, which the socket leaves out for writes made while it emits it.
void NQNodeServer::countLeft(QLocalSocket *socket)
{
    const auto frames = unsent.find(socket);
    if (frames == unsent.end())
        return;
    const qint64 left = frames->written - socket->bytesToWrite();
    const qint64 bytes = left - frames->left;
    frames->left = left;
    while (!frames->frameEnds.empty() && frames->frameEnds.front() <= left)
        frames->frameEnds.pop_front();
    if (bytes > 0)
        outgoing.remove(frames->peer, bytes);
}

void NQNodeServer::onSocketBytesWritten()
{
    countLeft(qobject_cast<QLocalSocket *>(sender()));
}

// The frames of a socket that closes before they have all left it: the
// peer is gone, or the node stops.
int NQNodeServer::dropUnsent(QLocalSocket *socket)
{
    const auto frames = unsent.find(socket);
    if (frames == unsent.end())
        return 0;
    const int packets = int(frames->frameEnds.size());
    outgoing.remove(frames->peer, frames->written - frames->left);
    unsent.erase(frames);
    return packets;
}

void NQNodeServer::logDropped(const char *where, int packets, const QString &peer)
{
    if (packets > 0)
        qWarning("%s dropping %d packets accepted for %s: it did not read them", where, packets, qPrintable(peer));
}

bool NQNodeServer::handOff(const QString &peer, const QByteArray &data, bool announce)
{
    if (!announce && !admit(peer, data))
        return false;
    outbox.push({peer, data, announce});
    return true;
}

bool NQNodeServer::admit(const QString &peer, const QByteArray &data)
{
    const qint64 frameBytes = nameField.size() + 4 + data.size();
    const NQBacklog::Admission admission = outgoing.admit(peer, frameBytes);
    if (admission.refusalsToReport > 0)
        qWarning("NQNode::send refused %lld packets for %s, which is not reading",
                 admission.refusalsToReport, qPrintable(peer));
    return admission.admitted;
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
    for (QLocalSocket *socket : written) {
        socket->flush();
        countLeft(socket);
    }
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
    connect(socket, &QLocalSocket::bytesWritten, this, &NQNodeServer::onSocketBytesWritten);
    connect(socket, &QLocalSocket::errorOccurred, this, &NQNodeServer::onSocketError);
    connect(socket, &QLocalSocket::stateChanged, this, &NQNodeServer::onSocketStateChanged);
}

void NQNodeServer::onSocketReadyRead()
{
    qCDebug(nqSocketLog, "NQNodeServer::onSocketReadyRead");
    if (auto *socket = qobject_cast<QLocalSocket *>(sender()))
        readSocket(socket);
}

// A held socket is not read: its bytes wait in the socket and, beyond what
// it reads ahead, with the system.
void NQNodeServer::readSocket(QLocalSocket *socket)
{
    if (held.contains(socket))
        return;
    readers[socket].append(socket->readAll());
    // The reader is looked up again for each frame: handling one may close
    // the socket and drop its reader. A frame keeps its own bytes alive.
    NQFrame frame;
    auto reader = readers.find(socket);
    while (reader != readers.end() && !held.contains(socket) && reader->next(&frame)) {
        handleFrame(socket, frame);
        reader = readers.find(socket);
    }
    if (reader != readers.end() && reader->oversized()) {
        qWarning() << "NQNodeServer::onSocketReadyRead oversized frame, closing the socket";
        closeSocket(socket);
    }
}

void NQNodeServer::resumeDrained()
{
    for (QString peer; drained.take(&peer);) {
        const QList<QLocalSocket *> sockets = held.values();
        for (QLocalSocket *socket : sockets) {
            if (socketNames.value(socket) != peer)
                continue;
            held.remove(socket);
            socket->setReadBufferSize(0);
            readSocket(socket);
        }
    }
}

// A held peer that closes its end has its frames delivered all the same:
// what it wrote was accepted, and the peer counted it as sent.
void NQNodeServer::drainHeld(QLocalSocket *socket)
{
    const QString name = socketNames.value(socket);
    NQFrameReader &reader = readers[socket];
    reader.append(socket->readAll());
    for (NQFrame frame; reader.next(&frame);)
        postData(name, frame.payload());
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
        if (postData(socketNames.value(socket), frame.payload())) {
            held.insert(socket);
            socket->setReadBufferSize(heldReadBytes);
        }
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
    connect(centerSocket, &QLocalSocket::connected, this, &NQNodeServer::onCenterConnected);
    connect(centerSocket, &QLocalSocket::errorOccurred, this, &NQNodeServer::onCenterError);
    startCenterAside();
}

void NQNodeServer::startCenterAside()
{
    centerStep = CenterStep::Starting;
    centerStarter = new NQThread([this] {
        const bool started = startCenter();
        const std::lock_guard<std::mutex> locker(stopMutex);
        centerStarted = started;
        QMetaObject::invokeMethod(this, "onCenterStarted", Qt::QueuedConnection);
    });
    centerStarter->start(QThread::InheritPriority);
}

// On the starter's thread. The lock keeps nodes that start together from
// starting the center all at once. It covers the start and the pause in
// which a new center reaches its listen, and not the wait for the
// connection: a lock held longer than its stale time is taken for a dead
// node's and removed by the next node, whose own lock the first would then
// remove in turn.
bool NQNodeServer::startCenter()
{
    // A zero pause only asks whether the node is stopping already.
    if (!pauseUnlessStopping(0))
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

// False when the node stops first.
bool NQNodeServer::pauseUnlessStopping(int ms)
{
    std::unique_lock<std::mutex> locker(stopMutex);
    return !stopWake.wait_for(locker, std::chrono::milliseconds(ms), [this] { return stopping; });
}

// The starter's last step is under the lock, so taking the lock here first
// orders its end before the thread's object goes (ThreadSanitizer sees no
// order in waiting for a thread through Qt).
void NQNodeServer::onCenterStarted()
{
    bool started = false;
    {
        const std::lock_guard<std::mutex> locker(stopMutex);
        started = centerStarted;
    }
    centerStarter->waitGone();
    delete centerStarter;
    centerStarter = nullptr;
    if (!started) {
        centerStep = CenterStep::Idle;
        return;
    }
    centerStep = CenterStep::Connecting;
    centerDeadline.setRemainingTime(nqnames::centerConnectWaitMs);
    askCenter();
}

// A center that is still starting (a loaded machine can take longer than the
// pause before connecting) has no server to connect to yet, and a local
// connect to a missing server fails at once. Asking again until the
// connection wait is over keeps the node from giving up on a center that
// is merely slow.
void NQNodeServer::askCenter()
{
    if (centerDeadline.hasExpired()) {
        joinCenter(false);
        return;
    }
    if (centerSocket->state() == QLocalSocket::UnconnectedState)
        centerSocket->connectToServer(nqnames::meetingPath(folder, nqnames::centerServerName()),
                                      QIODevice::ReadWrite);
    // The outcome may have come within the call.
    if (centerStep == CenterStep::Connecting)
        centerTimer->start(int(qMin<qint64>(centerDeadline.remainingTime(), nqnames::centerRetryPauseMs)));
}

void NQNodeServer::onCenterConnected()
{
    if (centerStep == CenterStep::Connecting)
        joinCenter(true);
}

void NQNodeServer::onCenterError(QLocalSocket::LocalSocketError error)
{
    const bool notYetListening = error == QLocalSocket::ServerNotFoundError
                                 || error == QLocalSocket::ConnectionRefusedError;
    if (centerStep == CenterStep::Connecting && !notYetListening)
        joinCenter(false);
}

void NQNodeServer::joinCenter(bool reached)
{
    centerTimer->stop();
    centerStep = CenterStep::Idle;
    centerConnected = reached;
    if (!reached) {
        qWarning() << "NQNodeServer::connectCenter NQCenter not reached:" << centerSocket->errorString();
        // Left unconnected: a connect still under way would otherwise count
        // as a center that can be replaced.
        centerSocket->abort();
    } else if (!onlinePacket.isEmpty()) {
        // Back on a new center: a peer that announced itself while this node
        // was between centers never reached it, and would never learn of it
        // either. Peers that know this node already do not report it again.
        centerSocket->write(onlinePacket);
    }
    const std::lock_guard<std::mutex> locker(stopMutex);
    joined = true;
    stopWake.notify_all();
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
    if (held.remove(socket) && !closing)
        drainHeld(socket);
    readers.remove(socket);
    unannounced.remove(socket);
    if (!closing)
        logDropped("NQNodeServer::closeSocket", dropUnsent(socket), socketNames.value(socket));
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

bool NQNodeServer::postData(const QString &name, const QByteArray &data)
{
    return dispatcher->post(NQDispatcher::Notice::Data, name, data);
}

void NQNodeServer::postOffline(const QString &name)
{
    dispatcher->post(NQDispatcher::Notice::Offline, name);
}
