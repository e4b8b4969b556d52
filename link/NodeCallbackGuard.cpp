#include "NodeCallbackGuard.h"

NodeCallbackGuard::NodeCallbackGuard(INQNodeCallback *target)
    : target(target)
{
}

NodeCallbackGuard::~NodeCallbackGuard() = default;

void NodeCallbackGuard::detach()
{
    QMutexLocker locker(&mutex);
    target = nullptr;
}

void NodeCallbackGuard::onNodeOnline(QString nodeName, INQData *data)
{
    pass(nodeName, data, &INQNodeCallback::onNodeOnline);
}

void NodeCallbackGuard::onNodeData(QString nodeName, INQData *data)
{
    pass(nodeName, data, &INQNodeCallback::onNodeData);
}

void NodeCallbackGuard::pass(QString nodeName, INQData *data, PacketNotice notice)
{
    QMutexLocker locker(&mutex);
    if (target != nullptr)
        (target->*notice)(nodeName, data);
    else if (data != nullptr)
        data->release();
}

void NodeCallbackGuard::onNodeOffline(QString nodeName)
{
    QMutexLocker locker(&mutex);
    if (target != nullptr)
        target->onNodeOffline(nodeName);
}
