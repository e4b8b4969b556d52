#include "NQOnlinePacket.h"

NQOnlinePacket::NQOnlinePacket(QString linkName)
    : NQBasePacket(typeName())
    , m_linkName(linkName)
{
}

NQOnlinePacket::~NQOnlinePacket() = default;

const QString &NQOnlinePacket::typeName()
{
    // The name on the wire differs from the class name; peers know it by this.
    static const QString name = QStringLiteral("NQNodeOnlinePacket");
    return name;
}

INQData *NQOnlinePacket::create(QByteArray bytes)
{
    return readFrom(new NQOnlinePacket(QStringLiteral("")), bytes);
}

QString NQOnlinePacket::linkName() const
{
    return m_linkName;
}

void NQOnlinePacket::write(QDataStream &stream)
{
    NQBasePacket::write(stream);
    stream << m_linkName;
}

void NQOnlinePacket::read(QDataStream &stream)
{
    NQBasePacket::read(stream);
    m_linkName = readString(stream);
}
