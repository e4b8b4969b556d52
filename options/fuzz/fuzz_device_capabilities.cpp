// The device capability table loader on any bytes, looked up by name and by
// id: a table it cannot read leaves it empty and unloaded, one it can read
// gives only capabilities that are there.
#include <QStringList>

#include "COptionDevCap.h"
#include "FuzzSupport.h"

namespace {

void checkConsistent(COptionDevCap &capabilities, bool loaded)
{
    FUZZ_CHECK(capabilities.IsLoaded() == loaded);
    QStringList names;
    capabilities.GetCapabilities(names);
    if (!loaded)
        FUZZ_CHECK(names.isEmpty());
    for (const QString &name : qAsConst(names)) {
        FUZZ_CHECK(!name.isEmpty());
        FUZZ_CHECK(capabilities.HasCapability(name));
    }
    const int lenses = capabilities.GetLensCount();
    FUZZ_CHECK(lenses >= 0 && lenses <= 4 && lenses <= names.size());
    FUZZ_CHECK(!capabilities.HasIRLens() || lenses > 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = FuzzSupport::writeInput(data, size);
    COptionDevCap capabilities;

    const bool byName = capabilities.LoadByModelName(path, QStringLiteral("EOIR30"));
    checkConsistent(capabilities, byName);
    const int id = capabilities.GetModelId();

    const bool byId = capabilities.LoadById(path, id);
    FUZZ_CHECK(byId == byName);
    checkConsistent(capabilities, byId);
    FUZZ_CHECK(capabilities.GetModelId() == id);
    return 0;
}
