#include "CPrefstoreModule.h"

#include "CPrefstoreService.h"

namespace {

IService *CreatePrefstoreService()
{
    return new CPrefstoreService;
}

ServiceEntry serviceTable[] = {
    {QStringLiteral("PrefstoreService"), nullptr, CreatePrefstoreService},
    {QString(), nullptr, nullptr},
};

CPrefstoreModule module;

} // namespace

ServiceEntry *CPrefstoreModule::GetServiceTable()
{
    return serviceTable;
}

MODULE_EXPORT IModule *GetModuleObject()
{
    return &module;
}
