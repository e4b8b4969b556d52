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
    static constexpr quint32 maxNameBytes = 1024;
    static constexpr quint32 maxPayloadBytes = 16 * 1024 * 1024;

    // Adds the bytes of one read.
    void append(const QByteArray &bytes);
    // Takes out the next complete frame, in order; false while none is whole
    // and for ever after a count beyond the limits.
    bool next(NQFrame *frame);
    bool oversized() const { return tooLarge; }

private:
    bool fieldAt(int offset, quint32 limit, quint32 *count, int *length);

    QByteArray buffer;
    int consumed = 0;
    bool tooLarge = false;
};
