#pragma once

#include <QString>

class IApplicationContext;
class IEventData;
class IModule;

// A named service of a module. Its module creates it, the framework
// initialises it, and only its module uninitialises and releases it.
class IService
{
public:
    // Prepares the service; it may keep the context until Uninitialize.
    // True when the service is ready to be handed out.
    virtual bool Initialize(IApplicationContext *context) = 0;
    virtual void Uninitialize() = 0;
    // The framework initialises a service only while this reports false.
    virtual bool IsInitialized() = 0;
    // Destroys the service.
    virtual void Release() = 0;
    virtual void SetModule(IModule *module) = 0;
    virtual void SetName(const QString &name) = 0;
    // One event that the service consumes. data may be null and must not be
    // kept after the call returns.
    virtual void HandleEvent(int eventId, IEventData *data) = 0;

protected:
    ~IService() = default;
};
