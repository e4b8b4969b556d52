// A module whose one service refuses to initialise while the context's bool
// "refuse" is true.
#include "RecordingModule.h"
#include "RecordingService.h"

namespace {

ServiceEntry serviceTable[] = {
    {QStringLiteral("Refusing"), nullptr, createRecordingService},
    {QString(), nullptr, nullptr},
};

RecordingModule module(QStringLiteral("Failing"), serviceTable);

} // namespace

MODULE_EXPORT IModule *GetModuleObject()
{
    return &module;
}
