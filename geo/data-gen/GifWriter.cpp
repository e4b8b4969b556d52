#include "GifWriter.h"

#include <QSaveFile>

namespace {

// Literal codes only, 9 bits wide, with a clear code often enough that the
// decoder's table never needs a tenth bit. The file is larger than a
// compressing encoder's, but every decoder reads it and the encoder stays
// small enough to check by eye.
constexpr int codeBits = 9;
constexpr int clearCode = 256;
constexpr int endCode = 257;
constexpr int literalsPerClear = 250;

class BitPacker
{
public:
    void put(int code)
    {
        m_pending |= quint32(code) << m_pendingBits;
        m_pendingBits += codeBits;
        while (m_pendingBits >= 8) {
            m_bytes.append(char(m_pending & 0xFF));
            m_pending >>= 8;
            m_pendingBits -= 8;
        }
    }

    QByteArray finish()
    {
        if (m_pendingBits > 0)
            m_bytes.append(char(m_pending & 0xFF));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_pending = 0;
    int m_pendingBits = 0;
};

} // namespace

GifWriter::GifWriter(const QVector<QRgb> &palette)
    : m_palette(palette.mid(0, 256))
{
    m_palette.resize(256);
}

void GifWriter::addFrame(const QImage &frame, int delayMs)
{
    m_frames.append(frame.convertToFormat(QImage::Format_Indexed8, m_palette, Qt::ThresholdDither));
    m_delaysMs.append(delayMs);
}

bool GifWriter::save(const QString &path) const
{
    if (m_frames.isEmpty())
        return false;
    QByteArray out;
    appendHeader(out);
    for (int i = 0; i < m_frames.size(); ++i)
        appendFrame(out, m_frames[i], m_delaysMs[i]);
    out.append(char(0x3B));

    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.commit();
}

void GifWriter::appendWord(QByteArray &out, int value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void GifWriter::appendHeader(QByteArray &out) const
{
    out.append("GIF89a");
    appendWord(out, m_frames.first().width());
    appendWord(out, m_frames.first().height());
    out.append(char(0xF7)); // global table of 256 entries, 8 bits per primary
    out.append(char(0));    // background index
    out.append(char(0));    // square pixels
    for (QRgb colour : m_palette) {
        out.append(char(qRed(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qBlue(colour)));
    }
    // Loop for ever.
    out.append("\x21\xFF\x0B" "NETSCAPE2.0" "\x03\x01", 16);
    appendWord(out, 0);
    out.append(char(0));
}

void GifWriter::appendFrame(QByteArray &out, const QImage &indexed, int delayMs) const
{
    out.append("\x21\xF9\x04", 3);
    out.append(char(0x04)); // leave the frame in place; no transparency
    appendWord(out, delayMs / 10);
    out.append(char(0));
    out.append(char(0));

    out.append(char(0x2C));
    appendWord(out, 0);
    appendWord(out, 0);
    appendWord(out, indexed.width());
    appendWord(out, indexed.height());
    out.append(char(0)); // no local table, not interlaced

    out.append(char(8)); // minimum code size for 256 colours
    const QByteArray data = encodePixels(indexed);
    for (int at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
}

QByteArray GifWriter::encodePixels(const QImage &indexed)
{
    BitPacker packer;
    int sinceClear = literalsPerClear;
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar *row = indexed.constScanLine(y);
        for (int x = 0; x < indexed.width(); ++x) {
            if (sinceClear == literalsPerClear) {
                packer.put(clearCode);
                sinceClear = 0;
            }
            packer.put(row[x]);
            ++sinceClear;
        }
    }
    packer.put(endCode);
    return packer.finish();
}
