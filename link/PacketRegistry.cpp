#include "PacketRegistry.h"

#include "NQCoreLibrary.h"
#include "NQOnlinePacket.h"
#include "NQ_GET_RPCPacket.h"
#include "NQ_SET_RPCPacket.h"

namespace {

using Creator = std::function<INQData *(QByteArray)>;

void registerCreator(const QString &typeName, Creator creator)
{
    INQCore *core = packetRegistryCore();
    if (core == nullptr)
        return;
    core->getDataBuilder()->registerBuilder(typeName, creator);
}

} // namespace

INQCore *packetRegistryCore()
{
    static NQCoreLibrary library;
    return library.core;
}

void registerPacketCreators()
{
    registerCreator(NQ_GET_RPCPacket::typeName(), &NQ_GET_RPCPacket::create);
    registerCreator(NQ_SET_RPCPacket::typeName(), &NQ_SET_RPCPacket::create);
    registerCreator(NQOnlinePacket::typeName(), &NQOnlinePacket::create);
}

void unregisterPacketCreators()
{
    // The builder has no removal: an empty creator is what makes a type
    // unknown to it.
    registerCreator(NQ_GET_RPCPacket::typeName(), Creator());
    registerCreator(NQ_SET_RPCPacket::typeName(), Creator());
    registerCreator(NQOnlinePacket::typeName(), Creator());
}
