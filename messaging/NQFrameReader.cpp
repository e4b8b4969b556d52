#include "NQFrameReader.h"

#include <QtEndian>

namespace {

constexpr quint32 nullCount = 0xFFFFFFFFu;
constexpr int countBytes = 4;

} // namespace

void NQFrameReader::append(const QByteArray &bytes)
{
    if (tooLarge)
        return;
    // Usually every frame of the last read was whole: the new read becomes
    // the buffer as it is, without a copy.
    if (consumed == buffer.size()) {
        buffer = bytes;
    } else {
        buffer.remove(0, consumed);
        buffer.append(bytes);
    }
    consumed = 0;
}

// Reads the count of the field at offset (relative to the unconsumed bytes)
// and says how many bytes the field's body takes; false when the field is not
// whole yet or its count is beyond the limit.
bool NQFrameReader::fieldAt(int offset, quint32 limit, quint32 *count, int *length)
{
    if (buffer.size() - consumed - offset < countBytes)
        return false;
    *count = qFromBigEndian<quint32>(buffer.constData() + consumed + offset);
    if (*count != nullCount && *count > limit) {
        tooLarge = true;
        return false;
    }
    *length = *count == nullCount ? 0 : int(*count);
    return buffer.size() - consumed - offset - countBytes >= *length;
}

bool NQFrameReader::next(NQFrame *frame)
{
    quint32 nameCount = 0;
    quint32 payloadCount = 0;
    int nameLength = 0;
    int payloadLength = 0;
    if (tooLarge)
        return false;
    const bool whole = fieldAt(0, maxNameBytes, &nameCount, &nameLength)
                       && fieldAt(countBytes + nameLength, maxPayloadBytes, &payloadCount, &payloadLength);
    if (!whole) {
        if (tooLarge) {
            buffer.clear();
            consumed = 0;
        }
        return false;
    }
    const int payloadOffset = countBytes + nameLength;
    frame->source = buffer;
    frame->start = consumed;
    frame->length = payloadOffset + countBytes + payloadLength;
    frame->nameCount = nameCount;
    frame->payloadCount = payloadCount;
    consumed += frame->length;
    return true;
}
