#pragma once

#include "IOVNDataObject.h"

class IEventData;
class IService;

// The one application context of the process, as modules see it: the shared
// typed values plus service look-up and event firing. Any of its operations
// may be called from any thread between a service's Initialize and
// Uninitialize.
class IApplicationContext : public IOVNDataObject
{
public:
    // The named service, initialised. With create false only a service that
    // already exists and is initialised comes back; with create true its
    // module is loaded and the service created and initialised as needed.
    // Null when it cannot be had (the reason is logged).
    //
    // A service's own Initialize must not ask for, or test the presence of,
    // a service of its own module: the module is locked while it
    // initialises. Once the framework is tearing down, nothing is created:
    // every request is answered as with create false.
    virtual IService *GetService(const QString &name, bool create) = 0;

    // Whether an instance of the named service exists in a loaded module.
    virtual bool HasService(const QString &name) = 0;

    // Delivers the event to every service that consumes it, at once on the
    // calling thread (async false) or later on the event thread (async
    // true). Before the framework has started and once it is stopping the
    // event is refused with a log line. See IEventData for who owns data
    // afterwards, refused or not.
    virtual void FireEvent(int eventId, IEventData *data, bool async, bool create) = 0;

    // Uninitialises or releases the services whose configured life asks
    // for it. Must not run while other threads request services.
    virtual void ApplyServiceLife() = 0;

protected:
    ~IApplicationContext() = default;
};
