#pragma once

#include "IApplicationContext.h"
#include "IModule.h"
#include "IService.h"

// The common part of every service: T is the service's own interface,
// derived from IService. A service that consumes events overrides
// HandleEvent; one that needs more set-up overrides Initialize.
template <typename T>
class CServiceBase : public T
{
public:
    bool Initialize(IApplicationContext *context) override
    {
        m_pContext = context;
        m_bInitialized = true;
        return true;
    }

    void Uninitialize() override
    {
        m_pContext = nullptr;
        m_bInitialized = false;
    }

    bool IsInitialized() override { return m_bInitialized; }

    void Release() override { delete this; }

    void SetModule(IModule *module) override { m_pModule = module; }

    void SetName(const QString &name) override { m_strName = name; }

    void HandleEvent(int, IEventData *) override {}

    virtual ~CServiceBase() {}

protected:
    IApplicationContext *m_pContext = nullptr;
    bool m_bInitialized = false;
    IModule *m_pModule = nullptr;
    QString m_strName;
};
