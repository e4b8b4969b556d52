#include "NQFrameReader.h"

#include <QtEndian>

namespace {

constexpr quint32 nullCount = 0xFFFFFFFFu;
constexpr int countBytes = 4;

QString decodeName(const char *data, quint32 count)
{
    if (count == nullCount)
        return QString();
    QString name(int(count / 2), Qt::Uninitialized);
    for (int i = 0; i < name.size(); ++i)
        name[i] = QChar(qFromBigEndian<quint16>(data + 2 * i));
    return name;
}

QByteArray decodePayload(const char *data, quint32 count)
{
    return count == nullCount ? QByteArray() : QByteArray(data, int(count));
}

} // namespace

QVector<NQFrame> NQFrameReader::read(const QByteArray &bytes)
{
    QVector<NQFrame> frames;
    if (tooLarge)
        return frames;
    if (consumed > 0) {
        buffer.remove(0, consumed);
        consumed = 0;
    }
    buffer.append(bytes);
    NQFrame frame;
    Result result;
    while ((result = next(&frame)) == Result::Frame)
        frames.append(frame);
    if (result == Result::Oversized) {
        tooLarge = true;
        buffer.clear();
        consumed = 0;
    }
    return frames;
}

// Reads the count of the field at offset (relative to the unconsumed bytes)
// and says how many bytes the field's body takes.
bool NQFrameReader::fieldAt(int offset, quint32 limit, quint32 *length, Result *result) const
{
    if (buffer.size() - consumed - offset < countBytes) {
        *result = Result::NeedMore;
        return false;
    }
    const quint32 count = qFromBigEndian<quint32>(buffer.constData() + consumed + offset);
    if (count != nullCount && count > limit) {
        *result = Result::Oversized;
        return false;
    }
    *length = count == nullCount ? 0 : count;
    if (buffer.size() - consumed - offset - countBytes < int(*length)) {
        *result = Result::NeedMore;
        return false;
    }
    return true;
}

NQFrameReader::Result NQFrameReader::next(NQFrame *frame)
{
    Result result = Result::Frame;
    quint32 nameLength = 0;
    quint32 payloadLength = 0;
    if (!fieldAt(0, maxNameBytes, &nameLength, &result))
        return result;
    const int payloadOffset = countBytes + int(nameLength);
    if (!fieldAt(payloadOffset, maxPayloadBytes, &payloadLength, &result))
        return result;

    const char *start = buffer.constData() + consumed;
    const int frameLength = payloadOffset + countBytes + int(payloadLength);
    frame->name = decodeName(start + countBytes, qFromBigEndian<quint32>(start));
    frame->payload = decodePayload(start + payloadOffset + countBytes,
                                   qFromBigEndian<quint32>(start + payloadOffset));
    frame->bytes = buffer.mid(consumed, frameLength);
    consumed += frameLength;
    if (consumed == buffer.size()) {
        buffer.clear();
        consumed = 0;
    }
    return Result::Frame;
}
