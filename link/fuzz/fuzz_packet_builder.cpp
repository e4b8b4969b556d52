// The data builder with the link's three packet creators on any received
// payload. A payload becomes no packet, or a packet of the type its bytes
// name whose own bytes build the same packet again; when every field of the
// payload was well formed, those bytes are the payload's beginning.
#include <QDataStream>

#include <memory>

#include "FuzzSupport.h"
#include "NQBasePacket.h"
#include "NQDataBuilder.h"
#include "NQOnlinePacket.h"
#include "NQ_GET_RPCPacket.h"
#include "NQ_SET_RPCPacket.h"

namespace {

// Strings on the wire after the type name: the link name, or from, to and
// the value.
int fieldCount(const QString &type)
{
    return type == NQOnlinePacket::typeName() ? 2 : 4;
}

bool wellFormed(const QByteArray &bytes, int fields)
{
    QDataStream stream(bytes);
    for (int i = 0; i < fields; ++i) {
        QString text;
        stream >> text;
    }
    return stream.status() == QDataStream::Ok;
}

bool known(const QString &type)
{
    return type == NQOnlinePacket::typeName() || type == NQ_GET_RPCPacket::typeName()
           || type == NQ_SET_RPCPacket::typeName();
}

struct Released
{
    void operator()(INQData *data) const
    {
        if (data)
            data->release();
    }
};
using PacketPointer = std::unique_ptr<INQData, Released>;

} // namespace

void FuzzSupport::setUp(int &, char **)
{
    NQDataBuilder *builder = NQDataBuilder::instance();
    builder->registerBuilder(NQ_GET_RPCPacket::typeName(), &NQ_GET_RPCPacket::create);
    builder->registerBuilder(NQ_SET_RPCPacket::typeName(), &NQ_SET_RPCPacket::create);
    builder->registerBuilder(NQOnlinePacket::typeName(), &NQOnlinePacket::create);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray payload(reinterpret_cast<const char *>(data), int(size));
    const QString type = NQBasePacket::typeOf(payload);
    PacketPointer packet(NQDataBuilder::instance()->build(payload));
    FUZZ_CHECK((packet != nullptr) == known(type));
    if (!packet)
        return 0;
    FUZZ_CHECK(packet->type() == type);

    const QByteArray bytes = packet->toByteArray();
    if (wellFormed(payload, fieldCount(type)))
        FUZZ_CHECK(payload.startsWith(bytes));

    PacketPointer again(NQDataBuilder::instance()->build(bytes));
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(again->type() == type);
    FUZZ_CHECK(again->toByteArray() == bytes);
    return 0;
}
