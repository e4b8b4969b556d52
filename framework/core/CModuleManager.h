#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <atomic>

class CConfigFile;
class CModule;
class IApplicationContext;
class IService;

// Hands out services by name on behalf of the application context. Module.xml
// names the module libraries and the services each provides; a library loads
// on the first request with creation allowed for one of its services and
// unloads when the manager is uninitialised.
//
// The tables are written only by Initialize and Uninitialize, which run while
// no other thread uses the manager; GetService and HasService may come from
// any thread, and from services while Uninitialize releases them.
class CModuleManager
{
public:
    CModuleManager() = default;
    ~CModuleManager();
    CModuleManager(const CModuleManager &) = delete;
    CModuleManager &operator=(const CModuleManager &) = delete;

    // Reads Module.xml from the program's folder; loads no library.
    // 0, or -1 after a log line.
    int Initialize(IApplicationContext *context);
    // The same with Module.xml from the given folder.
    int Initialize(IApplicationContext *context, const QString &configFolder);
    void Uninitialize();

    IService *GetService(const QString &name, bool create);
    bool HasService(const QString &name);
    // Life 1 uninitialises a service and keeps it, life 2 releases it; for
    // services of loaded modules only. Must not run while other threads
    // request services.
    void ApplyServiceLife();

private:
    struct ServiceInfo
    {
        QString name;
        int life;
    };

    int ReadModules(const CConfigFile &config);
    int ReadServices(const CConfigFile &config);
    CModule *FindModuleOfService(const QString &name) const;

    QMap<QString, CModule *> m_modulesByName;
    QList<CModule *> m_modules;
    QMap<QString, QString> m_moduleOfService;
    QList<ServiceInfo> m_services;
    IApplicationContext *m_pContext = nullptr;
    std::atomic<bool> m_bTearingDown{false};
};
