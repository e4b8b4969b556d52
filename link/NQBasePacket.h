#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QString>

#include "INQCore.h"

// The root of every packet that travels between link nodes. The bytes are a
// plain data stream of strings, the type name first, so the receiving data
// builder can pick the creator by reading that one string.
class NQBasePacket : public INQData
{
public:
    explicit NQBasePacket(QString type);
    ~NQBasePacket() override;

    QString type() override;
    QByteArray toByteArray() override;
    void release() override;

    virtual void write(QDataStream &stream);
    virtual void read(QDataStream &stream);

    // The type name at the front of serialised packet bytes; empty for bytes
    // that do not start with a readable string.
    static QString typeOf(QByteArray bytes);

protected:
    // A string of a received payload. A field that the bytes do not reach, or
    // that follows a malformed one, reads as empty rather than as whatever
    // bytes happen to come next.
    static QString readString(QDataStream &stream);

    // The whole of every creator: fills a fresh packet, made with its own
    // type name, from the payload in one read, and refuses the payload
    // (null) when the type name it read is another.
    static INQData *readFrom(NQBasePacket *packet, const QByteArray &bytes);

private:
    QString m_type;
};
