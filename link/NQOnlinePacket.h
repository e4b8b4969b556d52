#pragma once

#include "NQBasePacket.h"

// A node's announcement: the link name under which its peers may address it.
class NQOnlinePacket : public NQBasePacket
{
public:
    explicit NQOnlinePacket(QString linkName);
    ~NQOnlinePacket() override;

    static const QString &typeName();
    static INQData *create(QByteArray bytes);

    QString linkName() const;

    void write(QDataStream &stream) override;
    void read(QDataStream &stream) override;

private:
    QString m_linkName;
};
