// A main UI module that uses the options service the way the station's
// other modules do, and reports what it reads on the debug log.

#include <QDebug>

#include "CModuleBase.h"
#include "CServiceBase.h"
#include "IApplicationContext.h"
#include "IMainUIService.h"
#include "IOptionDevCap.h"
#include "IOptionObject.h"
#include "IPrefstoreService.h"

namespace {

void record(const QString &line)
{
    qDebug().noquote() << "probe:" << line;
}

class OptionsProbeService : public CServiceBase<IMainUIService>
{
public:
    void StartMainUI() override
    {
        auto *options = static_cast<IPrefstoreService *>(
            m_pContext->GetService(QStringLiteral("PrefstoreService"), true));
        if (!options) {
            record("no options service");
            return;
        }
        IOptionObject *user = options->GetUserOptions();
        record(QStringLiteral("MoveSpeed %1").arg(user->GetInt("ControlConfig", "MoveSpeed", -1)));
        record(QStringLiteral("LastURL %1").arg(user->GetString("ConnectConfig", "LastURL", "")));
        record(QStringLiteral("model %1").arg(options->LoadDeviceCapabilitiesById(0x1A)));
        record(QStringLiteral("lenses %1").arg(options->GetDeviceCapabilities()->GetLensCount()));
        // Refused at once, so that it cannot hold back the save of the good value.
        user->SetString("ConnectConfig", "LastURL", QStringLiteral("rtsp://") + QChar(1));
        user->SetInt("ControlConfig", "MoveSpeed", 12);
        // Another module asks for the options before this one saves.
        options->GetUserOptions();
        record(QStringLiteral("saved %1").arg(user->Save()));
        m_userOptions = user;
    }

    // The options service is uninitialised (its service life) while this
    // module still holds the options it was given.
    void RunMainUI() override
    {
        record("RunMainUI");
        if (!m_userOptions)
            return;
        m_pContext->ApplyServiceLife();
        m_userOptions->SetInt("ControlConfig", "ZoomSpeed", 7);
        record(QStringLiteral("saved after uninitialise %1").arg(m_userOptions->Save()));
    }

private:
    IOptionObject *m_userOptions = nullptr;
};

IService *createService()
{
    return new OptionsProbeService;
}

ServiceEntry services[] = {
    {QStringLiteral("MainUIService"), nullptr, createService},
    {QString(), nullptr, nullptr},
};

class OptionsProbeModule : public CModuleBase<IModule>
{
public:
    OptionsProbeModule() : CModuleBase(nullptr) {}
    ServiceEntry *GetServiceTable() override { return services; }
};

OptionsProbeModule module;

} // namespace

MODULE_EXPORT IModule *GetModuleObject()
{
    return &module;
}
