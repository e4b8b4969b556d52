#pragma once

#include <QByteArray>
#include <QString>

// One message on a node or center socket: the sender's node name and the
// payload, each in data-stream encoding (big-endian 32-bit byte count, then
// the bytes; a count of 0xFFFFFFFF marks a null value). There is no outer
// length, so a receiver finds the frame's end only by reading both counts.
//
// A received frame is a view into the bytes it arrived in, and keeps them
// alive: nothing is copied or decoded until asked for, since most frames
// need only their payload and the center only the bytes as they came.
class NQFrame
{
public:
    // The name's field, with which every frame of one sender begins: a
    // sender encodes it once.
    static QByteArray encodeName(const QString &name);
    static QByteArray encode(const QByteArray &nameField, const QByteArray &payload);
    static QByteArray encode(const QString &name, const QByteArray &payload);

    QString name() const;
    QByteArray payload() const;
    // The frame exactly as it arrived, for relaying it unchanged.
    const char *data() const { return source.constData() + start; }
    int size() const { return length; }

private:
    friend class NQFrameReader;

    QByteArray source;
    int start = 0;
    int length = 0;
    quint32 nameCount = 0;
    quint32 payloadCount = 0;
};
