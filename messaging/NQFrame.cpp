#include "NQFrame.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr quint32 nullCount = 0xFFFFFFFFu;
constexpr int countBytes = 4;

void putCount(char *at, quint32 count)
{
    qToBigEndian(count, at);
}

} // namespace

QByteArray NQFrame::encodeName(const QString &name)
{
    if (name.isNull()) {
        QByteArray field(countBytes, Qt::Uninitialized);
        putCount(field.data(), nullCount);
        return field;
    }
    QByteArray field(countBytes + 2 * name.size(), Qt::Uninitialized);
    putCount(field.data(), quint32(2 * name.size()));
    qToBigEndian<quint16>(name.utf16(), name.size(), field.data() + countBytes);
    return field;
}

QByteArray NQFrame::encode(const QByteArray &nameField, const QByteArray &payload)
{
    QByteArray frame(nameField.size() + countBytes + payload.size(), Qt::Uninitialized);
    char *at = frame.data();
    std::memcpy(at, nameField.constData(), size_t(nameField.size()));
    at += nameField.size();
    putCount(at, payload.isNull() ? nullCount : quint32(payload.size()));
    std::memcpy(at + countBytes, payload.constData(), size_t(payload.size()));
    return frame;
}

QByteArray NQFrame::encode(const QString &name, const QByteArray &payload)
{
    return encode(encodeName(name), payload);
}

QString NQFrame::name() const
{
    if (nameCount == nullCount)
        return QString();
    QString name(int(nameCount / 2), Qt::Uninitialized);
    qFromBigEndian<quint16>(data() + countBytes, name.size(), name.data());
    return name;
}

QByteArray NQFrame::payload() const
{
    if (payloadCount == nullCount)
        return QByteArray();
    return QByteArray(data() + length - int(payloadCount), int(payloadCount));
}
