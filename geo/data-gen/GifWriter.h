#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

// Writes an endlessly looping animated GIF. Qt reads GIFs but cannot write
// them, and the loading animation must be one.
class GifWriter
{
public:
    // Every frame is reduced to the given palette (at most 256 colours).
    explicit GifWriter(const QVector<QRgb> &palette);

    void addFrame(const QImage &frame, int delayMs);
    bool save(const QString &path) const;

private:
    static void appendWord(QByteArray &out, int value);
    void appendHeader(QByteArray &out) const;
    void appendFrame(QByteArray &out, const QImage &indexed, int delayMs) const;
    static QByteArray encodePixels(const QImage &indexed);

    QVector<QRgb> m_palette;
    QVector<QImage> m_frames;
    QVector<int> m_delaysMs;
};
