#pragma once

#include "NQValueRPCPacket.h"

// A call that hands the addressee one link message as JSON text. It is the
// only packet that carries data between link nodes.
class NQ_SET_RPCPacket : public NQValueRPCPacket
{
public:
    NQ_SET_RPCPacket(QString from, QString to);
    ~NQ_SET_RPCPacket() override;

    static const QString &typeName();
    static INQData *create(QByteArray bytes);
};
