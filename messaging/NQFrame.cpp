#include "NQFrame.h"

#include <QDataStream>

QByteArray NQFrame::encode(const QString &name, const QByteArray &payload)
{
    QByteArray frame;
    QDataStream stream(&frame, QIODevice::WriteOnly);
    stream << name << payload;
    return frame;
}
