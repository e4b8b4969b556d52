#include "NQCoreLibrary.h"

#include <QDebug>

#include "platform/Locate.h"

NQCoreLibrary::NQCoreLibrary()
    : NQCoreLibrary(platform::libraryPath(QStringLiteral("NQCore")))
{
}

NQCoreLibrary::NQCoreLibrary(const QString &fileName)
    : core(nullptr)
    , lib(fileName)
{
    if (!lib.load()) {
        qWarning() << "load NQCore library failed: " << lib.errorString();
        return;
    }
    const auto getNQCore = reinterpret_cast<GetNQCoreFunction>(lib.resolve("getNQCore"));
    if (getNQCore == nullptr) {
        qWarning() << "load NQCore library failed: " << lib.errorString();
        return;
    }
    core = getNQCore();
}

// The library is deliberately left loaded: packets and nodes made through it
// may still be around while statics are torn down.
NQCoreLibrary::~NQCoreLibrary() = default;
