#include "CEventManager.h"

#include <QDebug>

#include "CConfigFile.h"
#include "CConfigItem.h"
#include "CConfigSection.h"
#include "IApplicationContext.h"
#include "IService.h"
#include "MutexLocker.h"
#include "platform/Locate.h"

namespace {
void logNotReady()
{
    qDebug() << "event manager is not in a ready status, event will not be fired";
}
} // namespace

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
    if (!IsReady()) {
        logNotReady();
        return;
    }
    if (async) {
        // The queue closes as soon as stopping begins, before the flags
        // above change.
        if (!m_thread.PostEvent({eventId, data, create}))
            logNotReady();
        return;
    }
    Deliver(eventId, data, create);
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
