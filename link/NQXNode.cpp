#include "NQXNode.h"

#include <QJsonDocument>
#include <QTimer>

#include "HandOverBound.h"
#include "NQCoreLibrary.h"
#include "NQOnlinePacket.h"
#include "NQ_SET_RPCPacket.h"
#include "NodeCallbackGuard.h"

namespace {

// What this node's thread may have yet to handle, as a messaging node may
// hold for one peer.
constexpr qint64 handOverMark = 4 * 1024 * 1024;

// Owns a received packet while its notice waits for this node's thread. When
// the wait is cut short because the link node is destroyed, the queued call
// is destroyed uncalled and takes the packet with it.
class PendingPacket
{
public:
    explicit PendingPacket(INQData *data) : data(data) {}
    ~PendingPacket()
    {
        if (data != nullptr)
            data->release();
    }
    PendingPacket(const PendingPacket &) = delete;
    PendingPacket &operator=(const PendingPacket &) = delete;

    INQData *take()
    {
        INQData *taken = data;
        data = nullptr;
        return taken;
    }

private:
    INQData *data;
};

// Packets may come from another copy of the packet classes (a second library
// registering the same creators), so they are read back from their bytes
// rather than cast. Null for a packet of another type.
template <typename Packet>
std::unique_ptr<Packet> readBack(INQData *data)
{
    if (data == nullptr || data->type() != Packet::typeName())
        return nullptr;
    return std::unique_ptr<Packet>(static_cast<Packet *>(Packet::create(data->toByteArray())));
}

} // namespace

NQXNode::NQXNode(QString linkName, QObject *parent)
    : QObject(parent)
    , node(nullptr)
    , linkName(linkName)
    , guard(new NodeCallbackGuard(this))
    , bound(std::make_shared<HandOverBound>(handOverMark))
{
    INQCore *nqCore = core();
    if (nqCore == nullptr)
        return;
    node = nqCore->createNode();
    node->start(guard.get());
}

NQXNode::~NQXNode()
{
    // Detach first: a notice already on its way then finishes scheduling its
    // hop before this object goes, and none starts afterwards. The core calls
    // nothing once stop() has returned, so the guard may go with this object.
    // A notice waiting for room holds the guard: it is let go first.
    bound->close();
    guard->detach();
    if (node != nullptr) {
        node->stop();
        node->release();
        node = nullptr;
    }
}

INQCore *NQXNode::core()
{
    static NQCoreLibrary library;
    return library.core;
}

void NQXNode::onNodeOnline(QString nodeName, INQData *data)
{
    hop(nodeName, data, &NQXNode::handleNodeOnline);
}

void NQXNode::onNodeData(QString nodeName, INQData *data)
{
    hop(nodeName, data, &NQXNode::handleNodeData);
}

void NQXNode::onNodeOffline(QString nodeName)
{
    QTimer::singleShot(0, this, [this, nodeName] { handleNodeOffline(nodeName); });
}

void NQXNode::hop(QString nodeName, INQData *data, PacketHandler handler)
{
    const qint64 bytes = data != nullptr ? data->toByteArray().size() : 0;
    bound->enter(bytes);
    auto packet = std::make_shared<PendingPacket>(data);
    QTimer::singleShot(0, this, [this, handler, nodeName, packet, bound = bound, bytes] {
        (this->*handler)(nodeName, packet->take());
        bound->leave(bytes);
    });
}

void NQXNode::upline()
{
    if (node == nullptr)
        return;
    NQOnlinePacket packet(linkName);
    node->online(&packet);
}

void NQXNode::sendData(QString strLinkName, QJsonObject jsonData)
{
    if (node == nullptr)
        return;
    const QString to = nodeNameOf(strLinkName);
    if (to.isEmpty())
        return;
    NQ_SET_RPCPacket packet(node->getNodeName(), to);
    packet.setValue(QString::fromUtf8(QJsonDocument(jsonData).toJson(QJsonDocument::Indented)));
    node->send(to, &packet);
}

void NQXNode::handleNodeOnline(QString nodeName, INQData *data)
{
    PendingPacket owned(data);
    const auto packet = readBack<NQOnlinePacket>(data);
    if (!packet)
        return;
    addLink(nodeName, packet->linkName());
    emit nodeOnline(packet->linkName());
}

void NQXNode::handleNodeData(QString nodeName, INQData *data)
{
    PendingPacket owned(data);
    const auto packet = readBack<NQ_SET_RPCPacket>(data);
    if (!packet)
        return;
    // Text that is not a JSON object arrives as an empty object.
    const QJsonObject object = QJsonDocument::fromJson(packet->value().toUtf8()).object();
    emit dataRecvied(linkNameOf(nodeName), object);
}

void NQXNode::handleNodeOffline(QString nodeName)
{
    const QString link = linkNameOf(nodeName);
    removeLink(nodeName);
    emit nodeOffline(link);
}

QString NQXNode::nodeNameOf(QString link) const
{
    return linkToNode.value(link);
}

QString NQXNode::linkNameOf(QString nodeName) const
{
    return nodeToLink.value(nodeName);
}

void NQXNode::addLink(QString nodeName, QString link)
{
    linkToNode[link] = nodeName;
    nodeToLink[nodeName] = link;
}

void NQXNode::removeLink(QString nodeName)
{
    const QString link = linkNameOf(nodeName);
    linkToNode.remove(link);
    nodeToLink.remove(nodeName);
}
