// A socket's receive buffer fed any byte stream cut at any points. Checked
// against a plain reading of the whole stream at once: every complete frame
// comes out exactly once, in order and unchanged; a count past its cap stops
// the stream; what waits for more is never more than the largest frame the
// caps allow.
#include <fuzzer/FuzzedDataProvider.h>

#include <QtEndian>

#include <vector>

#include "FuzzSupport.h"
#include "NQFrame.h"
#include "NQFrameReader.h"

namespace {

constexpr quint32 nullCount = 0xFFFFFFFFu;
constexpr qint64 largestFrame = 4 + NQFrameReader::maxNameBytes + 4 + NQFrameReader::maxPayloadBytes;

struct Expected
{
    std::vector<QByteArray> frames;
    bool oversized = false;
    qint64 rest = 0;
};

// The frames of the whole stream, read without any buffering logic.
Expected readWhole(const QByteArray &stream)
{
    Expected expected;
    qint64 at = 0;
    for (;;) {
        qint64 end = at;
        bool complete = true;
        for (quint32 limit : {NQFrameReader::maxNameBytes, NQFrameReader::maxPayloadBytes}) {
            if (stream.size() - end < 4) {
                complete = false;
                break;
            }
            const quint32 count = qFromBigEndian<quint32>(stream.constData() + end);
            if (count != nullCount && count > limit) {
                expected.oversized = true;
                return expected;
            }
            end += 4 + (count == nullCount ? 0 : count);
            if (end > stream.size()) {
                complete = false;
                break;
            }
        }
        if (!complete) {
            expected.rest = stream.size() - at;
            return expected;
        }
        expected.frames.push_back(stream.mid(int(at), int(end - at)));
        at = end;
    }
}

// A frame's fields must say what its bytes say; with an even name count the
// frame encodes back to the very same bytes, which is what relaying needs.
void checkFields(const NQFrame &frame)
{
    const QByteArray bytes(frame.data(), frame.size());
    const QString name = frame.name();
    const QByteArray payload = frame.payload();
    const quint32 nameCount = qFromBigEndian<quint32>(bytes.constData());
    if (nameCount == nullCount)
        FUZZ_CHECK(name.isNull());
    else
        FUZZ_CHECK(name.size() == int(nameCount / 2));
    const int payloadAt = 4 + int(nameCount == nullCount ? 0 : nameCount);
    const quint32 payloadCount = qFromBigEndian<quint32>(bytes.constData() + payloadAt);
    if (payloadCount == nullCount)
        FUZZ_CHECK(payload.isNull());
    else
        FUZZ_CHECK(payload == bytes.mid(payloadAt + 4));
    if (nameCount == nullCount || nameCount % 2 == 0)
        FUZZ_CHECK(NQFrame::encode(name, payload) == bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    std::vector<size_t> cuts(provider.ConsumeIntegralInRange<size_t>(0, 16));
    for (size_t &cut : cuts)
        cut = provider.ConsumeIntegralInRange<size_t>(0, 64);
    const std::vector<char> rest = provider.ConsumeRemainingBytes<char>();
    const QByteArray stream(rest.data(), int(rest.size()));
    const Expected expected = readWhole(stream);

    NQFrameReader reader;
    std::vector<QByteArray> frames;
    int at = 0;
    for (size_t piece = 0; at < stream.size() || piece == 0; ++piece) {
        const int length = piece < cuts.size() ? int(cuts[piece]) : stream.size() - at;
        reader.append(stream.mid(at, length));
        at += qMin(length, stream.size() - at);
        NQFrame frame;
        while (reader.next(&frame)) {
            checkFields(frame);
            frames.push_back(QByteArray(frame.data(), frame.size()));
        }
        // Once a count was too large, the stream is dead: nothing more comes out.
        if (reader.oversized()) {
            reader.append(stream.mid(at));
            FUZZ_CHECK(!reader.next(&frame));
            break;
        }
    }

    // Frames are taken in order, so every frame before a bad count was
    // handed out before the count was looked at.
    FUZZ_CHECK(reader.oversized() == expected.oversized);
    FUZZ_CHECK(frames == expected.frames);
    FUZZ_CHECK(expected.rest < largestFrame);
    return 0;
}
