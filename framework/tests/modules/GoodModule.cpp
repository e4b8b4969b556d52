// A plain, well-behaved module built only from the framework's templates.
#include "CModuleBase.h"
#include "CServiceBase.h"

namespace {

class PlainService : public CServiceBase<IService>
{
};

IService *createService()
{
    return new PlainService;
}

ServiceEntry serviceTable[] = {
    {QStringLiteral("Plain"), nullptr, createService},
    {QStringLiteral("PlainToo"), nullptr, createService},
    {QString(), nullptr, nullptr},
};

class GoodModule : public CModuleBase<IModule>
{
public:
    GoodModule() : CModuleBase(nullptr) {}
    ServiceEntry *GetServiceTable() override { return serviceTable; }
};

GoodModule module;

} // namespace

MODULE_EXPORT IModule *GetModuleObject()
{
    return &module;
}
