#include "NQCoreLibrary.h"
#include "NQOnlinePacket.h"
#include "NQ_GET_RPCPacket.h"
#include "NQ_SET_RPCPacket.h"

#include "platform/LibraryLocation.h"

namespace {

// This library may sit beside its loader rather than beside the program, so
// it looks for the messaging library next to itself first.
INQCore *legacyCore()
{
    static NQCoreLibrary library(
        platform::libraryPathBeside(reinterpret_cast<const void *>(&legacyCore),
                                    QStringLiteral("NQCore")));
    return library.core;
}

void registerCreator(const QString &typeName, std::function<INQData *(QByteArray)> creator)
{
    INQCore *core = legacyCore();
    if (core == nullptr)
        return;
    core->getDataBuilder()->registerBuilder(typeName, creator);
}

// Runs while the library is being loaded, so the packets are understood
// before the loading program can start a node. Never undone: creators that
// later registrations do not replace stay for the life of the process.
struct LoadTimeRegistration
{
    LoadTimeRegistration()
    {
        // The builder keeps calling into this library's creators, so it
        // must not be unmapped while the process lives.
        platform::keepLoaded(reinterpret_cast<const void *>(&legacyCore));
        registerCreator(NQOnlinePacket::typeName(), &NQOnlinePacket::create);
        registerCreator(NQ_GET_RPCPacket::typeName(), &NQ_GET_RPCPacket::create);
        registerCreator(NQ_SET_RPCPacket::typeName(), &NQ_SET_RPCPacket::create);
    }
};

const LoadTimeRegistration registration;

} // namespace
