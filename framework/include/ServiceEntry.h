#pragma once

#include <QString>

class IService;

// One row of a module's static service table. The table ends at the first
// entry whose name is empty.
struct ServiceEntry
{
    QString name;
    IService *instance;
    IService *(*creator)();
};
