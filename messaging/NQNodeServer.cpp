#include "NQNodeServer.h"

#include "NQCenterLink.h"
#include "NQDispatcher.h"
#include "NQListener.h"
#include "NQLogging.h"
#include "NQNames.h"
#include "NQThread.h"
#include "platform/LocalConnect.h"
#include "platform/LocalServerName.h"
#include "platform/ProcessWatch.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QLocalServer>
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
// How long a peer that takes no connection yet is asked again, and the
// pauses between the asks: short at first, since a peer's queue of
// connections not yet accepted empties quickly.
constexpr int peerConnectWaitMs = 30000;
constexpr int peerFirstPauseMs = 10;
constexpr int peerLongestPauseMs = 500;

} // namespace

NQNodeServer::NQNodeServer(INQNodeCallback *callback)
    : thread(new NQThread)
    , server(new QLocalServer(this))
    , listener(new NQListener(server, this))
    , folder(nqnames::meetingFolder())
    , center(new NQCenterLink(folder, this))
    , dispatcher(new NQDispatcher(callback))
    , outbox(this, staticMetaObject, "sendHandedOff()")
    , window(peerUnsentMark)
    , drained(this, staticMetaObject, "resumeDrained()")
{
    nodeName = QString::number(QCoreApplication::applicationPid());
    nameField = NQFrame::encodeName(nodeName);
    connect(center, &NQCenterLink::centerReached, this, &NQNodeServer::onCenterReached);
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
    const QHash<QString, int> unsentPackets = window.dropAll();
    for (auto it = unsentPackets.cbegin(); it != unsentPackets.cend(); ++it)
        dropped[it.key()] += it.value();
    for (auto it = dropped.cbegin(); it != dropped.cend(); ++it)
        NQSendWindow::logDropped("NQNodeServer::~NQNodeServer", it.value(), it.key());
    const QList<QLocalSocket *> sockets = pending.values() + socketNames.keys();
    if (centerSocket)
        closeSocket(centerSocket);
    for (QLocalSocket *socket : sockets)
        closeSocket(socket);
    server->close();
    delete dispatcher;
    delete center;
    thread->quit();
}

void NQNodeServer::detachCallback()
{
    dispatcher->detachCallback();
}

void NQNodeServer::requestStop()
{
    center->requestStop();
}

void NQNodeServer::waitUntilJoined()
{
    center->waitUntilJoined();
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
    center->connectCenter();
    return true;
}

void NQNodeServer::online(QByteArray data)
{
    onlinePacket = NQFrame::encode(nameField, data);
    // Kept even without a center: peers that announce later get it directly.
    if (centerSocket)
        centerSocket->write(onlinePacket);
}

void NQNodeServer::send(QString strNodeName, QByteArray data)
{
    if (!window.admit(strNodeName, nameField, data))
        return;
    // Out now rather than on the next turn of the event loop: a reply is
    // often awaited, and the frame is already whole.
    if (QLocalSocket *socket = writeFrame(strNodeName, data))
        window.flush(socket);
}

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
        window.cancel(peer, frame.size());
        return nullptr;
    }
    if (unannounced.remove(socket))
        window.write(socket, peer, onlinePacket.isEmpty() ? frame : onlinePacket, false);
    window.write(socket, peer, frame, true);
    return socket;
}

void NQNodeServer::onSocketBytesWritten()
{
    window.countLeft(qobject_cast<QLocalSocket *>(sender()));
}

bool NQNodeServer::handOff(const QString &peer, const QByteArray &data, bool announce)
{
    if (!announce && !window.admit(peer, nameField, data))
        return false;
    outbox.push({peer, data, announce});
    return true;
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
        window.flush(socket);
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
        qWarning() << "NQNodeServer::readSocket oversized frame, closing the socket";
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
    // What this node sent the peer keeps to one socket until it has left:
    // frames on two sockets would arrive in no certain order.
    if (!window.holds(nodeSockets.value(name)))
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
    qWarning() << "NQNodeServer::isPeerName dropping a frame from a peer named" << name.left(64);
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

void NQNodeServer::onCenterReached(QLocalSocket *socket)
{
    centerSocket = socket;
    watchSocket(socket);
    // Back on a new center: a peer that announced itself while this node
    // was between centers never reached it, and would never learn of it
    // either. Peers that know this node already do not report it again.
    if (!onlinePacket.isEmpty())
        socket->write(onlinePacket);
}

void NQNodeServer::connectNode(const QString &name)
{
    auto *socket = new QLocalSocket(this);
    watchSocket(socket);
    // Known before connecting, so that a connect refused at once is closed
    // (and reported offline) like any other.
    nodeSockets[name] = socket;
    socketNames[socket] = name;
    // The announcement goes first, whenever the connection comes.
    if (!onlinePacket.isEmpty())
        window.write(socket, name, onlinePacket, false);
    else
        unannounced.insert(socket);
    dialPeer(socket, QDeadlineTimer(peerConnectWaitMs), peerFirstPauseMs);
}

// A peer whose queue of connections not yet accepted is full (many nodes
// meeting at once) takes none for a moment. Qt would watch such a socket for
// writing, which the system reports at once while it is not connected, and
// spin a core until the peer accepts. The node asks again after a pause
// that grows instead; what is sent meanwhile waits in the window.
void NQNodeServer::dialPeer(QLocalSocket *socket, QDeadlineTimer deadline, int pauseMs)
{
    const QString name = socketNames.value(socket);
    switch (platform::connectLocal(*socket, nqnames::meetingPath(folder, name))) {
    case platform::LocalConnect::Connected:
        window.flush(socket);
        return;
    case platform::LocalConnect::Busy:
        if (!deadline.hasExpired()) {
            QTimer::singleShot(pauseMs, socket, [this, socket, deadline, pauseMs] {
                if (socketNames.contains(socket))
                    dialPeer(socket, deadline, qMin(2 * pauseMs, peerLongestPauseMs));
            });
            return;
        }
        qWarning("NQNodeServer::dialPeer %s took no connection within %d ms", qPrintable(name),
                 peerConnectWaitMs);
        break;
    case platform::LocalConnect::Failed:
        break;
    }
    // Reported offline like any peer whose socket closes.
    closeSocket(socket);
}

void NQNodeServer::closeSocket(QLocalSocket *socket)
{
    const bool isCenter = socket && socket == centerSocket;
    if (!socket || !(isCenter || pending.contains(socket) || socketNames.contains(socket)))
        return;
    qDebug() << "NQNodeServer::closeSocket";
    if (held.remove(socket) && !closing)
        drainHeld(socket);
    readers.remove(socket);
    unannounced.remove(socket);
    if (!closing)
        NQSendWindow::logDropped("NQNodeServer::closeSocket", window.drop(socket), socketNames.value(socket));
    if (isCenter) {
        centerSocket = nullptr;
        center->lost();
    } else if (!pending.remove(socket)) {
        forgetPeer(socket);
    }
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
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
