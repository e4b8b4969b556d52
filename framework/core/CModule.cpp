#include "CModule.h"

#include <QDebug>
#include <QDir>
#include <QLibrary>

#include "IModule.h"
#include "IService.h"
#include "MutexLocker.h"
#include "platform/Locate.h"

namespace {

// Module.xml names a library by its file ("libPrefstore.so") or by its bare
// name ("Prefstore"); either is looked for beside the program first, like
// every library of the installation. When it is not there the path goes to
// the loader unchanged and the loader's own search rules apply.
QString resolveLibraryPath(const QString &path)
{
    if (QDir::isAbsolutePath(path))
        return path;
    const QString file = platform::programPath(path);
    if (file != path)
        return file;
    const QString library = platform::libraryPath(path);
    return QDir::isAbsolutePath(library) ? library : path;
}

} // namespace

CModule::CModule(const QString &name, const QString &path, IApplicationContext *context)
    : m_strName(name), m_strPath(path), m_pContext(context)
{
}

CModule::~CModule()
{
    if (m_bLoaded)
        Unload();
    delete m_pLibrary;
}

int CModule::Load()
{
    if (m_bLoaded) {
        qDebug() << "this module is already loaded!";
        return 0;
    }
    if (m_strPath.isEmpty()) {
        qDebug() << "module path is empty!";
        return -1;
    }

    delete m_pLibrary;
    m_pLibrary = new QLibrary(resolveLibraryPath(m_strPath));
    if (!m_pLibrary->load()) {
        qDebug() << "load library failed: " << m_pLibrary->errorString();
        return -1;
    }
    m_bLoaded = true;
    return BindModuleObject();
}

int CModule::BindModuleObject()
{
    const auto getModuleObject =
        reinterpret_cast<GetModuleObjectFunction>(m_pLibrary->resolve("GetModuleObject"));
    if (!getModuleObject) {
        qDebug() << "get the function address of module object creator failed";
        return -1;
    }
    m_pModule = getModuleObject();
    return 0;
}

// The services are released without the record's lock: they may ask the
// context for other services, their own module's included, on the way out.
// The lock covers only the library going, so that a request from another
// thread finds the module either whole or gone.
int CModule::Unload()
{
    if (m_pModule) {
        for (const QString &name : qAsConst(m_serviceNames))
            m_pModule->ReleaseService(name);
    }

    MutexLocker locker(&m_lock);
    m_serviceNames.clear();
    m_pModule = nullptr;
    if (m_pLibrary) {
        if (m_pLibrary->isLoaded())
            m_pLibrary->unload();
        delete m_pLibrary;
        m_pLibrary = nullptr;
    }
    m_bLoaded = false;
    return 0;
}

IService *CModule::QueryService(const QString &name, bool create)
{
    if (!HasModuleObject())
        return nullptr;

    IService *service = m_pModule->QueryService(name, create);
    if (!service) {
        qDebug() << "query service failed: " << name;
        return nullptr;
    }
    if (service->IsInitialized())
        return service;
    if (!create)
        return nullptr;
    return InitializeService(service, name);
}

// A service that refuses to initialise is undone at once but stays with its
// module, so that a later request can try again on the same instance.
IService *CModule::InitializeService(IService *service, const QString &name)
{
    if (service->Initialize(m_pContext))
        return service;
    service->Uninitialize();
    qDebug() << "initialize service failed: " << name;
    return nullptr;
}

bool CModule::HasService(const QString &name)
{
    return HasModuleObject() && m_pModule->HasService(name);
}

void CModule::ReleaseService(const QString &name)
{
    if (HasModuleObject())
        m_pModule->ReleaseService(name);
}

void CModule::UninitializeService(const QString &name)
{
    if (HasModuleObject())
        m_pModule->UninitializeService(name);
}

bool CModule::HasModuleObject() const
{
    if (!m_pModule)
        qDebug() << "invalid module handle, maybe not initialized";
    return m_pModule != nullptr;
}

void CModule::AddServiceName(const QString &name)
{
    m_serviceNames.append(name);
}

void CModule::Lock()
{
    MutexLocker::Lock(&m_lock);
}

void CModule::Unlock()
{
    MutexLocker::Unlock(&m_lock);
}

bool CModule::IsLoaded() const
{
    return m_bLoaded;
}

QString CModule::GetName() const
{
    return m_strName;
}

QString CModule::GetPath() const
{
    return m_strPath;
}
