#pragma once

#include <QString>

#include "IService.h"

// One row of a module's static service table. The table ends at the first
// entry whose name is empty.
struct ServiceEntry
{
    // The module owns its services. Releasing a service frees only an
    // initialised one, so an instance that never was (refused, or undone by
    // its service life) is still here when the table goes with its library;
    // nothing else may free it, and its code is about to go.
    ~ServiceEntry()
    {
        if (instance && !instance->IsInitialized())
            instance->Release();
    }

    QString name;
    IService *instance;
    IService *(*creator)();
};
