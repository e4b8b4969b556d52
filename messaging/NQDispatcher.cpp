#include "NQDispatcher.h"

#include "INQCore.h"
#include "NQDataBuilder.h"
#include "NQThread.h"

#include <QThread>

NQDispatcher::NQDispatcher(INQNodeCallback *callback, QObject *parent)
    : QObject(parent)
    , callback(callback)
    , thread(new NQThread)
    , posted(this, staticMetaObject, "deliverPosted()")
{
    moveToThread(thread);
    thread->start(QThread::InheritPriority);
}

NQDispatcher::~NQDispatcher()
{
    detachCallback();
    thread->quit();
    thread->waitGone();
    delete thread;
}

void NQDispatcher::detachCallback()
{
    const std::lock_guard<std::recursive_mutex> locker(mutex);
    callback = nullptr;
}

bool NQDispatcher::isCallbackThread() const
{
    return QThread::currentThread() == thread;
}

void NQDispatcher::post(Notice notice, const QString &name, const QByteArray &data)
{
    posted.push({notice, name, data});
}

void NQDispatcher::deliverPosted()
{
    Posted next;
    while (posted.take(&next)) {
        switch (next.notice) {
        case Notice::Online:
            dispatchNodeOnline(next.name, next.data);
            break;
        case Notice::Data:
            dispatchNodeData(next.name, next.data);
            break;
        case Notice::Offline:
            dispatchNodeOffline(next.name);
            break;
        }
    }
}

// The packet is built only when it can be delivered, so none is built and
// then dropped; once handed over it belongs to the callee.
template<typename Deliver>
void NQDispatcher::deliverPacket(const QByteArray &data, Deliver deliver)
{
    const std::lock_guard<std::recursive_mutex> locker(mutex);
    if (!callback)
        return;
    if (INQData *packet = NQDataBuilder::instance()->build(data))
        deliver(packet);
}

void NQDispatcher::dispatchNodeOnline(QString strNodeName, QByteArray data)
{
    deliverPacket(data, [&](INQData *packet) { callback->onNodeOnline(strNodeName, packet); });
}

void NQDispatcher::dispatchNodeData(QString strNodeName, QByteArray data)
{
    deliverPacket(data, [&](INQData *packet) { callback->onNodeData(strNodeName, packet); });
}

void NQDispatcher::dispatchNodeOffline(QString strNodeName)
{
    const std::lock_guard<std::recursive_mutex> locker(mutex);
    if (callback)
        callback->onNodeOffline(strNodeName);
}
