#pragma once

#include "NQValueRPCPacket.h"

// The request counterpart of the set call. Its creator is registered so that
// peers sending one are understood, but link nodes never send one.
class NQ_GET_RPCPacket : public NQValueRPCPacket
{
public:
    NQ_GET_RPCPacket(QString from, QString to);
    ~NQ_GET_RPCPacket() override;

    static const QString &typeName();
    static INQData *create(QByteArray bytes);
};
