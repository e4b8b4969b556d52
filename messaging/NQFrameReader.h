#pragma once

#include "NQFrame.h"

#include <QByteArray>

// The receive buffer of one socket. Reads arrive in arbitrary pieces: a frame
// may be split across reads and one read may hold several frames, so bytes
// are kept until a whole frame is there. The counts are checked before the
// bytes arrive, so a peer cannot make us buffer without bound.
class NQFrameReader
{
public:
    enum class Result { Frame, NeedMore, Oversized };

    static constexpr quint32 maxNameBytes = 1024;
    static constexpr quint32 maxPayloadBytes = 16 * 1024 * 1024;

    void append(const QByteArray &bytes);
    Result next(NQFrame *frame);

private:
    bool fieldAt(int offset, quint32 limit, quint32 *length, Result *result) const;

    QByteArray buffer;
    int consumed = 0;
};
