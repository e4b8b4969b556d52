#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

class IApplicationContext;
class IModule;
class IService;
class QLibrary;

// One module of Module.xml: its library, the module object the library hands
// out, and the names of the services configured for it.
//
// A record is not loaded (at first, and after a failed library load, which a
// later request retries), loaded with a module object, or loaded without one
// (the library has no entry point; that stays so until Unload).
class CModule
{
public:
    CModule(const QString &name, const QString &path, IApplicationContext *context);
    ~CModule();
    CModule(const CModule &) = delete;
    CModule &operator=(const CModule &) = delete;

    int Load();
    // Releases every configured service through the module, then unloads
    // the library. Always 0.
    int Unload();

    // The service initialised, or null. With create false a service that
    // exists but is not initialised is not handed out.
    IService *QueryService(const QString &name, bool create);
    bool HasService(const QString &name);
    void ReleaseService(const QString &name);
    void UninitializeService(const QString &name);

    void AddServiceName(const QString &name);
    // Held while the library loads and a service is created and initialised,
    // so that concurrent first requests load and initialise once.
    void Lock();
    void Unlock();

    bool IsLoaded() const;
    QString GetName() const;
    QString GetPath() const;

private:
    bool HasModuleObject() const;
    int BindModuleObject();
    IService *InitializeService(IService *service, const QString &name);

    bool m_bLoaded = false;
    QString m_strName;
    QString m_strPath;
    QLibrary *m_pLibrary = nullptr;
    IApplicationContext *m_pContext;
    IModule *m_pModule = nullptr;
    QMutex m_lock;
    QStringList m_serviceNames;
};
