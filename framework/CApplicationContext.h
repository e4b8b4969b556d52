#pragma once

#include "CDataObjectBase.h"
#include "CEventManager.h"
#include "CModuleManager.h"
#include "IApplicationContext.h"

// The one application context of the process: the typed values that the
// command line fills and modules share, plus service look-up and events,
// which it hands to its module and event managers.
class CApplicationContext : public CDataObjectBase<IApplicationContext>
{
public:
    IService *GetService(const QString &name, bool create) override;
    bool HasService(const QString &name) override;
    void FireEvent(int eventId, IEventData *data, bool async, bool create) override;
    void ApplyServiceLife() override;

    // Parses the command line (ending the process on help or an error),
    // reads Module.xml and Event.xml and starts the event thread. 0, or -1
    // when a configuration file could not be used.
    int Initialize(int argc, char **argv);
    // Stops the event thread and unloads every module; the typed values
    // stay.
    void Uninitialize();

private:
    void ReadCommandLine(int argc, char **argv);

    // Declared in this order so that the event manager, whose thread may
    // still ask for services, goes before the module manager.
    CModuleManager m_moduleManager;
    CEventManager m_eventManager;
};
