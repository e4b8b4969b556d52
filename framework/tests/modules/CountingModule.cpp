// Counts and records every call the framework makes into it.
#include "CallLog.h"
#include "RecordingModule.h"
#include "RecordingService.h"

namespace {

IService *createService()
{
    return new RecordingService;
}

ServiceEntry serviceTable[] = {
    {QStringLiteral("LifeOne"), nullptr, createService},
    {QStringLiteral("LifeTwo"), nullptr, createService},
    {QStringLiteral("LifeThree"), nullptr, createService},
    {QStringLiteral("LifeNone"), nullptr, createService},
    {QString(), nullptr, nullptr},
};

RecordingModule module(QStringLiteral("Counting"), serviceTable);

} // namespace

MODULE_EXPORT IModule *GetModuleObject()
{
    calllog::record(QStringLiteral("Counting GetModuleObject"));
    return &module;
}
