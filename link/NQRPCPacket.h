#pragma once

#include "NQBasePacket.h"

// A remote call between two nodes, addressed by node names.
class NQRPCPacket : public NQBasePacket
{
public:
    NQRPCPacket(QString type, QString from, QString to);
    ~NQRPCPacket() override;

    QString from() const;
    QString to() const;

    void write(QDataStream &stream) override;
    void read(QDataStream &stream) override;

private:
    QString m_from;
    QString m_to;
};
