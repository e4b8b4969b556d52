// Counts and records every call the framework makes into it.
#include "CallLog.h"
#include "RecordingModule.h"
#include "RecordingService.h"

namespace {

ServiceEntry serviceTable[] = {
    {QStringLiteral("LifeOne"), nullptr, createRecordingService},
    {QStringLiteral("LifeTwo"), nullptr, createRecordingService},
    {QStringLiteral("LifeThree"), nullptr, createRecordingService},
    {QStringLiteral("LifeNone"), nullptr, createRecordingService},
    {QString(), nullptr, nullptr},
};

RecordingModule module(QStringLiteral("Counting"), serviceTable);

} // namespace

MODULE_EXPORT IModule *GetModuleObject()
{
    calllog::record(QStringLiteral("Counting GetModuleObject"));
    return &module;
}
