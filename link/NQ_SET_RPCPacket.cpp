#include "NQ_SET_RPCPacket.h"

NQ_SET_RPCPacket::NQ_SET_RPCPacket(QString from, QString to)
    : NQValueRPCPacket(typeName(), from, to)
{
}

NQ_SET_RPCPacket::~NQ_SET_RPCPacket() = default;

const QString &NQ_SET_RPCPacket::typeName()
{
    static const QString name = QStringLiteral("NQ_SET_RPCPacket");
    return name;
}

INQData *NQ_SET_RPCPacket::create(QByteArray bytes)
{
    return readFrom(new NQ_SET_RPCPacket(QStringLiteral(""), QStringLiteral("")), bytes);
}
