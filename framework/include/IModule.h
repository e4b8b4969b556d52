#pragma once

#include <QString>

class IService;

// What a module library hands the framework: access to its services. The
// object belongs to the library and lives until the library is unloaded.
class IModule
{
public:
    // The existing instance, initialised or not; with create true a new,
    // not yet initialised one when none exists; otherwise null, also for a
    // name the module does not know.
    virtual IService *QueryService(const QString &name, bool create) = 0;
    virtual bool HasService(const QString &name) = 0;
    virtual void ReleaseAllServices() = 0;
    // Uninitialises, releases and forgets an initialised instance.
    virtual void ReleaseService(const QString &name) = 0;
    // Uninitialises an initialised instance and keeps it.
    virtual void UninitializeService(const QString &name) = 0;

protected:
    ~IModule() = default;
};

// The one entry point of a module library, resolved by its plain name.
using GetModuleObjectFunction = IModule *(*)();

// Marks a module library's GetModuleObject so that it is exported under its
// plain name even when the library hides its other symbols:
//     MODULE_EXPORT IModule *GetModuleObject() { return &theModule; }
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
