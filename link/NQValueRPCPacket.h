#pragma once

#include "NQRPCPacket.h"

// The shape that the set and get calls share: one string value after the
// addresses. The value stays null until it is set, and goes on the wire that
// way, distinct from an empty value.
class NQValueRPCPacket : public NQRPCPacket
{
public:
    NQValueRPCPacket(QString type, QString from, QString to);
    ~NQValueRPCPacket() override;

    QString value() const;
    void setValue(QString value);

    void write(QDataStream &stream) override;
    void read(QDataStream &stream) override;

private:
    QString m_value;
};
