#pragma once

#include <QMutex>

#include "INQCore.h"

// What the messaging node actually calls back. It stands between the node's
// dispatcher thread and the link node, so that once the link node detaches
// (as it is being destroyed) a late notice reaches nothing; a packet that
// arrives then is released here instead.
class NodeCallbackGuard : public INQNodeCallback
{
public:
    explicit NodeCallbackGuard(INQNodeCallback *target);
    ~NodeCallbackGuard() override;

    // Returns only when no notice is being passed on any more.
    void detach();

    void onNodeOnline(QString nodeName, INQData *data) override;
    void onNodeData(QString nodeName, INQData *data) override;
    void onNodeOffline(QString nodeName) override;

private:
    using PacketNotice = void (INQNodeCallback::*)(QString, INQData *);
    void pass(QString nodeName, INQData *data, PacketNotice notice);

    QMutex mutex;
    INQNodeCallback *target;
};
