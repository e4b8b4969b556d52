#pragma once

#include "IModule.h"
#include "IService.h"
#include "ServiceEntry.h"

// The module side of IModule, over the module's static service table. A
// module class derives from CModuleBase<IModule>, supplies its table through
// GetServiceTable and exists once, as a static object of its library.
//
// Every walk runs from the table's start to its end marker and compares
// names exactly.
template <typename T>
class CModuleBase : public T
{
public:
    explicit CModuleBase(void *reserved) : m_reserved(reserved) {}

    IService *QueryService(const QString &name, bool create) override
    {
        for (ServiceEntry *entry = GetServiceTable(); !entry->name.isEmpty(); ++entry) {
            if (entry->name != name)
                continue;
            if (entry->instance)
                return entry->instance;
            if (create)
                return CreateInstance(entry);
        }
        return nullptr;
    }

    bool HasService(const QString &name) override
    {
        for (ServiceEntry *entry = GetServiceTable(); !entry->name.isEmpty(); ++entry) {
            if (entry->name == name && entry->instance)
                return true;
        }
        return false;
    }

    void ReleaseAllServices() override
    {
        for (ServiceEntry *entry = GetServiceTable(); !entry->name.isEmpty(); ++entry)
            ReleaseInstance(entry);
    }

    void ReleaseService(const QString &name) override
    {
        for (ServiceEntry *entry = GetServiceTable(); !entry->name.isEmpty(); ++entry) {
            if (entry->name == name)
                ReleaseInstance(entry);
        }
    }

    void UninitializeService(const QString &name) override
    {
        for (ServiceEntry *entry = GetServiceTable(); !entry->name.isEmpty(); ++entry) {
            if (entry->name == name && entry->instance && entry->instance->IsInitialized())
                entry->instance->Uninitialize();
        }
    }

    virtual ServiceEntry *GetServiceTable() = 0;

protected:
    ~CModuleBase() = default;

private:
    IService *CreateInstance(ServiceEntry *entry)
    {
        IService *service = entry->creator();
        entry->instance = service;
        service->SetModule(this);
        service->SetName(entry->name);
        return service;
    }

    // A service that was created but never initialised stays in its entry:
    // the framework may still initialise and hand it out.
    static void ReleaseInstance(ServiceEntry *entry)
    {
        IService *service = entry->instance;
        if (!service || !service->IsInitialized())
            return;
        service->Uninitialize();
        service->Release();
        entry->instance = nullptr;
    }

    void *m_reserved;
};
