#include "NQBasePacket.h"

NQBasePacket::NQBasePacket(QString type)
    : m_type(type)
{
}

NQBasePacket::~NQBasePacket() = default;

QString NQBasePacket::type()
{
    return m_type;
}

QByteArray NQBasePacket::toByteArray()
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    write(stream);
    return bytes;
}

void NQBasePacket::release()
{
    delete this;
}

void NQBasePacket::write(QDataStream &stream)
{
    stream << m_type;
}

void NQBasePacket::read(QDataStream &stream)
{
    m_type = readString(stream);
}

QString NQBasePacket::typeOf(QByteArray bytes)
{
    QDataStream stream(bytes);
    return readString(stream);
}

QString NQBasePacket::readString(QDataStream &stream)
{
    QString text;
    stream >> text;
    // Qt gives a null string for a count it could not satisfy; a null field
    // must only ever come from an explicit 0xFFFFFFFF on the wire.
    if (stream.status() != QDataStream::Ok)
        return QStringLiteral("");
    return text;
}

INQData *NQBasePacket::readFrom(NQBasePacket *packet, const QByteArray &bytes)
{
    const QString expected = packet->m_type;
    QDataStream stream(bytes);
    packet->read(stream);
    if (packet->m_type != expected) {
        delete packet;
        return nullptr;
    }
    return packet;
}
