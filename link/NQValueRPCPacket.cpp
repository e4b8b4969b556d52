#include "NQValueRPCPacket.h"

NQValueRPCPacket::NQValueRPCPacket(QString type, QString from, QString to)
    : NQRPCPacket(type, from, to)
{
}

NQValueRPCPacket::~NQValueRPCPacket() = default;

QString NQValueRPCPacket::value() const
{
    return m_value;
}

void NQValueRPCPacket::setValue(QString value)
{
    m_value = value;
}

void NQValueRPCPacket::write(QDataStream &stream)
{
    NQRPCPacket::write(stream);
    stream << m_value;
}

void NQValueRPCPacket::read(QDataStream &stream)
{
    NQRPCPacket::read(stream);
    m_value = readString(stream);
}
