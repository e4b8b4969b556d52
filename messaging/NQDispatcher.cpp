#include "NQDispatcher.h"

#include "INQCore.h"
#include "NQDataBuilder.h"
#include "NQThread.h"

#include <QDebug>
#include <QThread>

namespace {

// What one peer's data may take in a node's dispatcher queue, in payload
// bytes. A slow callback otherwise lets a fast peer fill the memory.
constexpr qint64 peerWaitingMark = 4 * 1024 * 1024;

} // namespace

NQDispatcher::NQDispatcher(INQNodeCallback *callback, QObject *parent)
    : QObject(parent)
    , callback(callback)
    , thread(new NQThread)
    , waiting(peerWaitingMark)
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
    int dropped = 0;
    for (Posted next; posted.take(&next);)
        dropped += next.notice == Notice::Data;
    if (dropped > 0)
        qWarning("NQDispatcher::~NQDispatcher dropping %d received packets: the node stopped", dropped);
}

void NQDispatcher::onDrained(std::function<void(const QString &)> callOnDrained)
{
    drained = std::move(callOnDrained);
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

bool NQDispatcher::post(Notice notice, const QString &name, const QByteArray &data)
{
    const bool full = notice == Notice::Data && waiting.add(name, data.size());
    posted.push({notice, name, data});
    return full;
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
            if (waiting.remove(next.name, next.data.size()) && drained)
                drained(next.name);
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
