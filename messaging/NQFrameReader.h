#pragma once

#include "NQFrame.h"

#include <QByteArray>
#include <QVector>

// The receive buffer of one socket. Reads arrive in arbitrary pieces: a frame
// may be split across reads and one read may hold several frames, so bytes
// are kept until a whole frame is there. The counts are checked before the
// bytes arrive, so a peer cannot make us buffer without bound.
class NQFrameReader
{
public:
    static constexpr quint32 maxNameBytes = 1024;
    static constexpr quint32 maxPayloadBytes = 16 * 1024 * 1024;

    // Adds the bytes of one read and takes out every frame now complete, in
    // order. After a count beyond the limits nothing more comes out.
    QVector<NQFrame> read(const QByteArray &bytes);
    bool oversized() const { return tooLarge; }

private:
    enum class Result { Frame, NeedMore, Oversized };

    Result next(NQFrame *frame);
    bool fieldAt(int offset, quint32 limit, quint32 *length, Result *result) const;

    QByteArray buffer;
    int consumed = 0;
    bool tooLarge = false;
};
