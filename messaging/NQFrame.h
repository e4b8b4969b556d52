#pragma once

#include <QByteArray>
#include <QString>

// One message on a node or center socket: the sender's node name and the
// payload, each in data-stream encoding (big-endian 32-bit byte count, then
// the bytes; a count of 0xFFFFFFFF marks a null value). There is no outer
// length, so a receiver finds the frame's end only by reading both counts.
struct NQFrame
{
    QString name;
    QByteArray payload;
    // The frame exactly as it arrived, for relaying it unchanged.
    QByteArray bytes;

    static QByteArray encode(const QString &name, const QByteArray &payload);
};
