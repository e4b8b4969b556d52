#pragma once

#include "CServiceBase.h"
#include "CallLog.h"

// A service that writes every call the framework makes on it to the call
// log as "<service> <operation>". It refuses to initialise while the
// context's bool "refuse" is true.
class RecordingService : public CServiceBase<IService>
{
public:
    bool Initialize(IApplicationContext *context) override
    {
        calllog::record(m_strName + " Initialize");
        bool refuse = false;
        context->GetBool(QStringLiteral("refuse"), &refuse);
        return !refuse && CServiceBase::Initialize(context);
    }

    void Uninitialize() override
    {
        calllog::record(m_strName + " Uninitialize");
        CServiceBase::Uninitialize();
    }

    void Release() override
    {
        calllog::record(m_strName + " Release");
        CServiceBase::Release();
    }
};

inline IService *createRecordingService()
{
    return new RecordingService;
}
