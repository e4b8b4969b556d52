#include "NQRPCPacket.h"

NQRPCPacket::NQRPCPacket(QString type, QString from, QString to)
    : NQBasePacket(type)
    , m_from(from)
    , m_to(to)
{
}

NQRPCPacket::~NQRPCPacket() = default;

QString NQRPCPacket::from() const
{
    return m_from;
}

QString NQRPCPacket::to() const
{
    return m_to;
}

void NQRPCPacket::write(QDataStream &stream)
{
    NQBasePacket::write(stream);
    stream << m_from << m_to;
}

void NQRPCPacket::read(QDataStream &stream)
{
    NQBasePacket::read(stream);
    m_from = readString(stream);
    m_to = readString(stream);
}
