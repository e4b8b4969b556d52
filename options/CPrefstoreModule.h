#pragma once

#include "CModuleBase.h"
#include "IModule.h"

// The options module. Exactly one exists, a static object of the library.
class CPrefstoreModule : public CModuleBase<IModule>
{
public:
    CPrefstoreModule() : CModuleBase(nullptr) {}
    ServiceEntry *GetServiceTable() override;
};
