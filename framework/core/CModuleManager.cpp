#include "CModuleManager.h"

#include <QDebug>

#include "CConfigFile.h"
#include "CConfigItem.h"
#include "CConfigSection.h"
#include "CModule.h"
#include "platform/Locate.h"

namespace {

class ModuleLocker
{
public:
    explicit ModuleLocker(CModule *module) : m_module(module) { m_module->Lock(); }
    ~ModuleLocker() { m_module->Unlock(); }
    ModuleLocker(const ModuleLocker &) = delete;
    ModuleLocker &operator=(const ModuleLocker &) = delete;

private:
    CModule *m_module;
};

enum ServiceLife { UninitializeLife = 1, ReleaseLife = 2 };

} // namespace

CModuleManager::~CModuleManager()
{
    Uninitialize();
}

int CModuleManager::Initialize(IApplicationContext *context)
{
    return Initialize(context, platform::programFolder());
}

int CModuleManager::Initialize(IApplicationContext *context, const QString &configFolder)
{
    Uninitialize();
    m_pContext = context;

    CConfigFile config;
    if (config.Load(configFolder + QStringLiteral("/Module.xml")) != 0) {
        qDebug() << "read module config file failed";
        return -1;
    }
    if (ReadModules(config) != 0 || ReadServices(config) != 0)
        return -1;
    return 0;
}

int CModuleManager::ReadModules(const CConfigFile &config)
{
    const CConfigSection *section = config.GetSection(QStringLiteral("Modules"));
    if (!section) {
        qDebug() << "pModuleSection == NULL";
        return -1;
    }
    for (int i = 0; i < section->GetItemCount(); ++i) {
        const CConfigItem *item = section->GetItemAt(i);
        CModule *module = new CModule(item->GetAttribute(QStringLiteral("name")),
                                      item->GetAttribute(QStringLiteral("path")), m_pContext);
        m_modulesByName.insert(module->GetName(), module);
        m_modules.append(module);
    }
    return 0;
}

int CModuleManager::ReadServices(const CConfigFile &config)
{
    const CConfigSection *section = config.GetSection(QStringLiteral("Services"));
    if (!section) {
        qDebug() << "pServiceSection == NULL";
        return -1;
    }
    for (int i = 0; i < section->GetItemCount(); ++i) {
        const CConfigItem *item = section->GetItemAt(i);
        const QString name = item->GetAttribute(QStringLiteral("name"));
        const QString moduleName = item->GetAttribute(QStringLiteral("module"));
        // A missing or malformed life reads as 0, which leaves the service alone.
        const int life = item->GetAttribute(QStringLiteral("life")).toInt();

        m_moduleOfService.insert(name, moduleName);
        m_services.append({name, life});
        if (CModule *module = m_modulesByName.value(moduleName))
            module->AddServiceName(name);
    }
    return 0;
}

// Services may ask the context for each other while their modules release
// them, so every record stays until all modules are unloaded; one whose
// module has gone answers as not there.
void CModuleManager::Uninitialize()
{
    m_bTearingDown = true;
    for (CModule *module : qAsConst(m_modules))
        module->Unload();
    qDeleteAll(m_modules);
    m_modules.clear();
    m_modulesByName.clear();
    m_moduleOfService.clear();
    m_services.clear();
    m_pContext = nullptr;
    m_bTearingDown = false;
}

CModule *CModuleManager::FindModuleOfService(const QString &name) const
{
    const auto service = m_moduleOfService.constFind(name);
    if (service == m_moduleOfService.constEnd()) {
        qDebug() << "can't find the module which the service " << name << "belong to";
        return nullptr;
    }
    CModule *module = m_modulesByName.value(service.value());
    if (!module)
        qDebug() << "can't find the module object by name " << service.value();
    return module;
}

IService *CModuleManager::GetService(const QString &name, bool create)
{
    CModule *module = FindModuleOfService(name);
    if (!module)
        return nullptr;

    // Nothing made during teardown would be undone: a library loaded now
    // may already have had its Unload, and a service created or initialised
    // now in a module that is releasing its services may come after its own
    // release and go with its library uninitialised.
    if (m_bTearingDown)
        create = false;

    ModuleLocker locker(module);
    if (!module->IsLoaded() && (!create || module->Load() != 0))
        return nullptr;
    return module->QueryService(name, create);
}

bool CModuleManager::HasService(const QString &name)
{
    CModule *module = FindModuleOfService(name);
    if (!module)
        return false;

    ModuleLocker locker(module);
    return module->IsLoaded() && module->HasService(name);
}

void CModuleManager::ApplyServiceLife()
{
    for (const ServiceInfo &service : qAsConst(m_services)) {
        CModule *module = FindModuleOfService(service.name);
        if (!module || !module->IsLoaded())
            continue;
        if (service.life == UninitializeLife)
            module->UninitializeService(service.name);
        else if (service.life == ReleaseLife)
            module->ReleaseService(service.name);
    }
}
