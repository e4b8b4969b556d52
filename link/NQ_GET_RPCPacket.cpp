#include "NQ_GET_RPCPacket.h"

NQ_GET_RPCPacket::NQ_GET_RPCPacket(QString from, QString to)
    : NQValueRPCPacket(typeName(), from, to)
{
}

NQ_GET_RPCPacket::~NQ_GET_RPCPacket() = default;

const QString &NQ_GET_RPCPacket::typeName()
{
    static const QString name = QStringLiteral("NQ_GET_RPCPacket");
    return name;
}

INQData *NQ_GET_RPCPacket::create(QByteArray bytes)
{
    return readFrom(new NQ_GET_RPCPacket(QStringLiteral(""), QStringLiteral("")), bytes);
}
