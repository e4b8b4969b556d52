#include "CEventManager.h"

#include <QDebug>

#include "CConfigFile.h"
#include "CConfigItem.h"
#include "CConfigSection.h"
#include "IApplicationContext.h"
#include "IEventData.h"
#include "IService.h"
#include "MutexLocker.h"
#include "platform/Locate.h"

CEventManager::CEventManager() : m_thread(this) {}

CEventManager::~CEventManager()
{
    Uninitialize();
}

int CEventManager::Initialize(IApplicationContext *context)
{
    return Initialize(context, platform::programFolder());
}

int CEventManager::Initialize(IApplicationContext *context, const QString &configFolder)
{
    Uninitialize();
    m_pContext = context;

    CConfigFile config;
    if (config.Load(configFolder + QStringLiteral("/Event.xml")) != 0) {
        qDebug() << "read event config file failed";
        return -1;
    }
    if (ReadConsumers(config) != 0)
        return -1;
    m_bReady = true;
    return 0;
}

int CEventManager::ReadConsumers(const CConfigFile &config)
{
    const CConfigSection *section = config.GetSection(QStringLiteral("Events"));
    if (!section) {
        qDebug() << "pEventSection == NULL";
        return -1;
    }
    MutexLocker locker(&m_consumersLock);
    for (int i = 0; i < section->GetItemCount(); ++i) {
        const CConfigItem *item = section->GetItemAt(i);
        // A missing or malformed id reads as 0.
        const int eventId = item->GetAttribute(QStringLiteral("id")).toInt();
        m_consumers[eventId].append(item->GetAttribute(QStringLiteral("service")));
    }
    return 0;
}

void CEventManager::Start()
{
    m_bStopped = false;
    m_thread.Open();
    m_thread.start();
}

void CEventManager::Stop()
{
    m_thread.Stop();
    m_bStopped = true;
}

void CEventManager::Uninitialize()
{
    m_thread.Stop();
    {
        MutexLocker locker(&m_consumersLock);
        m_consumers.clear();
    }
    m_pContext = nullptr;
    m_bReady = false;
}

bool CEventManager::IsReady() const
{
    return m_pContext.load() && m_bReady && !m_bStopped;
}

void CEventManager::FireEvent(int eventId, IEventData *data, bool async, bool create)
{
    // The queue closes as soon as stopping begins, before the flags change.
    const bool accepted = IsReady() && (!async || m_thread.PostEvent({eventId, data, create}));
    if (!accepted) {
        Refuse(data, async);
        return;
    }
    if (!async)
        Deliver(eventId, data, create);
}

// The caller of an asynchronous event has handed its data over and cannot
// tell that the event was refused, so the data is released here as a
// delivered event's would be. A synchronous event's data stays with its
// caller either way.
void CEventManager::Refuse(IEventData *data, bool async)
{
    qDebug() << "event manager is not in a ready status, event will not be fired";
    if (async && data)
        data->Release();
}

void CEventManager::Deliver(int eventId, IEventData *data, bool create)
{
    const QStringList consumers = ConsumersOf(eventId);
    if (consumers.isEmpty()) {
        qDebug() << "no consumer service for event id = " << eventId;
        return;
    }
    IApplicationContext *context = m_pContext.load();
    if (!context)
        return;
    for (const QString &name : consumers) {
        if (IService *service = context->GetService(name, create))
            service->HandleEvent(eventId, data);
    }
}

QStringList CEventManager::ConsumersOf(int eventId)
{
    MutexLocker locker(&m_consumersLock);
    return m_consumers.value(eventId);
}
