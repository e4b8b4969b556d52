#pragma once

#include "CServiceBase.h"
#include "CallLog.h"

// A service that writes every call the framework makes on it to the call
// log as "<service> <operation>". It refuses to initialise while the
// context's bool "refuse" is true. When the context's string "<service>
// asks" names another service, it asks the context for that one while it is
// uninitialised and records what it saw.
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
        AskOnTheWayOut();
        CServiceBase::Uninitialize();
    }

    void Release() override
    {
        calllog::record(m_strName + " Release");
        CServiceBase::Release();
    }

private:
    void AskOnTheWayOut()
    {
        QString asked;
        if (!m_pContext || !m_pContext->GetString(m_strName + " asks", &asked))
            return;
        const bool got = m_pContext->GetService(asked, true) != nullptr;
        const bool has = m_pContext->HasService(asked);
        calllog::record(QStringLiteral("%1 sees %2: %3, %4")
                            .arg(m_strName, asked, got ? "got" : "null", has ? "has" : "hasn't"));
    }
};

inline IService *createRecordingService()
{
    return new RecordingService;
}
