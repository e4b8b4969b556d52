#pragma once

#include <QMap>
#include <QMutex>
#include <QStringList>

#include <atomic>

#include "CAsyncEventThread.h"

class CConfigFile;
class IApplicationContext;
class IEventData;

// Delivers numbered events to the services that Event.xml lists as their
// consumers, in file order: at once on the caller's thread, or through the
// queue of its event thread. Events are accepted only between Start and the
// next Stop or Uninitialize; a refused asynchronous event's data is released
// at once.
class CEventManager
{
public:
    CEventManager();
    ~CEventManager();
    CEventManager(const CEventManager &) = delete;
    CEventManager &operator=(const CEventManager &) = delete;

    // Reads Event.xml from the program's folder. 0, or -1 after a log line.
    int Initialize(IApplicationContext *context);
    // The same with Event.xml from the given folder.
    int Initialize(IApplicationContext *context, const QString &configFolder);
    virtual void Start();
    virtual void Stop();
    void Uninitialize();

    void FireEvent(int eventId, IEventData *data, bool async, bool create);

private:
    int ReadConsumers(const CConfigFile &config);
    bool IsReady() const;
    void Refuse(IEventData *data, bool async);
    void Deliver(int eventId, IEventData *data, bool create);
    QStringList ConsumersOf(int eventId);

    // Services may fire events from threads of their own while the manager
    // is set up or torn down; the lock keeps them from reading the consumer
    // lists while they change.
    QMutex m_consumersLock;
    QMap<int, QStringList> m_consumers;
    std::atomic<IApplicationContext *> m_pContext{nullptr};
    std::atomic<bool> m_bReady{false};
    std::atomic<bool> m_bStopped{true};
    CAsyncEventThread m_thread;
};
