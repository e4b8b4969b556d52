#pragma once

#include "NQBacklog.h"
#include "NQHandOff.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <mutex>

class INQNodeCallback;
class NQThread;

// Turns a node's notifications into packets and hands them to the user's
// callback on a thread of its own, so that user code never runs on the
// socket thread.
class NQDispatcher : public QObject
{
    Q_OBJECT
public:
    explicit NQDispatcher(INQNodeCallback *callback, QObject *parent = nullptr);
    // Ends the dispatcher's thread; call it from another thread.
    ~NQDispatcher() override;

    // After this returns no callback runs any more: a call in progress is
    // waited for. Safe from any thread, the dispatcher's own included (a
    // callback that stops its node).
    void detachCallback();
    // Whether the caller runs on the thread that calls the callback.
    bool isCallbackThread() const;

    enum class Notice { Online, Data, Offline };
    // From the node server's thread: delivered on the dispatcher's thread,
    // after every notice posted before it. True when the peer's data waiting
    // here has reached its mark: the server then reads no more of it until
    // told that it has drained.
    bool post(Notice notice, const QString &name, const QByteArray &data = QByteArray());
    // Set before the first post; called on the dispatcher's thread.
    void onDrained(std::function<void(const QString &)> drained);

public slots:
    void dispatchNodeOnline(QString strNodeName, QByteArray data);
    void dispatchNodeData(QString strNodeName, QByteArray data);
    void dispatchNodeOffline(QString strNodeName);

private:
    struct Posted
    {
        Notice notice;
        QString name;
        QByteArray data;
    };

    Q_INVOKABLE void deliverPosted();
    template<typename Deliver>
    void deliverPacket(const QByteArray &data, Deliver deliver);

    INQNodeCallback *callback;
    NQThread *thread;
    NQBacklog waiting;
    std::function<void(const QString &)> drained;
    // Held while a callback runs, so that detaching waits for it. Recursive:
    // a callback may stop its own node. A standard mutex rather than Qt's,
    // whose locking ThreadSanitizer cannot see.
    std::recursive_mutex mutex;
    NQHandOff<Posted> posted;
};
