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
    QMutexLocker locker(&mutex);
    if (target != nullptr)
        target->onNodeOnline(nodeName, data);
    else if (data != nullptr)
        data->release();
}

void NodeCallbackGuard::onNodeData(QString nodeName, INQData *data)
{
    QMutexLocker locker(&mutex);
    if (target != nullptr)
        target->onNodeData(nodeName, data);
    else if (data != nullptr)
        data->release();
}

void NodeCallbackGuard::onNodeOffline(QString nodeName)
{
    QMutexLocker locker(&mutex);
    if (target != nullptr)
        target->onNodeOffline(nodeName);
}
