#pragma once

#include "CModuleBase.h"
#include "CallLog.h"

// A module that writes the framework's calls on it to the call log, and
// its own destruction, which happens when its library is unloaded.
class RecordingModule : public CModuleBase<IModule>
{
public:
    RecordingModule(const QString &name, ServiceEntry *table)
        : CModuleBase(nullptr), m_name(name), m_table(table)
    {
    }

    ~RecordingModule() { calllog::record(m_name + " unloaded"); }

    void ReleaseService(const QString &name) override
    {
        calllog::record(m_name + " ReleaseService " + name);
        CModuleBase::ReleaseService(name);
    }

    void UninitializeService(const QString &name) override
    {
        calllog::record(m_name + " UninitializeService " + name);
        CModuleBase::UninitializeService(name);
    }

    ServiceEntry *GetServiceTable() override { return m_table; }

private:
    QString m_name;
    ServiceEntry *m_table;
};
