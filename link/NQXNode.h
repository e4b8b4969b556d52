#pragma once

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

#include "INQCore.h"

class HandOverBound;
class NodeCallbackGuard;

// A messaging node that talks in link names and JSON objects. It announces
// its own link name, learns its peers' link names from their announcements,
// and re-emits what arrives as signals on its own thread.
class NQXNode : public QObject, public INQNodeCallback
{
    Q_OBJECT

public:
    // Starts the messaging node; blocks the calling thread while it joins
    // the center. Without the messaging library the link is
    // not started: nothing is announced, sent or received.
    explicit NQXNode(QString linkName, QObject *parent = nullptr);
    ~NQXNode() override;

    // Called on the messaging node's dispatcher thread; each moves the
    // notice to this object's thread, waiting first while this thread has
    // its mark of packets yet to handle.
    void onNodeOnline(QString nodeName, INQData *data) override;
    void onNodeData(QString nodeName, INQData *data) override;
    void onNodeOffline(QString nodeName) override;

signals:
    void nodeOnline(QString strLinkName);
    // strNodeName carries the sender's link name.
    void dataRecvied(QString strNodeName, QJsonObject jsonData);
    void nodeOffline(QString strLinkName);

public slots:
    void upline();
    // Dropped without a word when strLinkName has not come online here.
    void sendData(QString strLinkName, QJsonObject jsonData);

protected:
    // Run on this object's thread, in arrival order; each owns its packet.
    virtual void handleNodeOnline(QString nodeName, INQData *data);
    virtual void handleNodeData(QString nodeName, INQData *data);
    virtual void handleNodeOffline(QString nodeName);

    QString nodeNameOf(QString link) const;
    QString linkNameOf(QString nodeName) const;
    void addLink(QString nodeName, QString link);
    void removeLink(QString nodeName);

    QMap<QString, QString> linkToNode;
    QMap<QString, QString> nodeToLink;
    INQNode *node;
    QString linkName;

private:
    using PacketHandler = void (NQXNode::*)(QString, INQData *);

    static INQCore *core();
    // Moves a notice with a packet to this object's thread.
    void hop(QString nodeName, INQData *data, PacketHandler handler);

    std::unique_ptr<NodeCallbackGuard> guard;
    // Shared with the handed-over calls: a handler may destroy this object.
    std::shared_ptr<HandOverBound> bound;
};
