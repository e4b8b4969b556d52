#pragma once

#include "INQCore.h"

#include <QDataStream>

// A trivial packet for the test and benchmark programs: its type name, then
// one text. The creator refuses bytes of any other type.
class NQTestPacket : public INQData
{
public:
    explicit NQTestPacket(QString text, QString typeName = QStringLiteral("NQTestPacket"))
        : typeName(std::move(typeName)), text(std::move(text)) {}

    QString type() override { return typeName; }
    QByteArray toByteArray() override
    {
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << typeName << text;
        return bytes;
    }
    void release() override { delete this; }

    static INQData *create(QByteArray bytes)
    {
        QDataStream stream(bytes);
        QString type;
        QString text;
        stream >> type >> text;
        if (type != QLatin1String("NQTestPacket") || stream.status() != QDataStream::Ok)
            return nullptr;
        return new NQTestPacket(text);
    }

    QString typeName;
    QString text;
};
