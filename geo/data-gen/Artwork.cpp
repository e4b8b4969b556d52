#include "Artwork.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace artwork {

namespace {

constexpr int buttonSize = 40;
constexpr int loadingSize = 160;
constexpr int loadingFrameCount = 12;

const QColor buttonFace(40, 48, 60, 210);
const QColor buttonLit(0, 150, 220, 235);
const QColor glyphColour(Qt::white);

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void drawPin(QPainter &p, const QRectF &box, const QColor &colour)
{
    const qreal r = box.width() / 2.0;
    const QPointF centre(box.center().x(), box.top() + r);
    QPainterPath pin;
    pin.moveTo(box.center().x(), box.bottom());
    pin.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -60, 300);
    pin.closeSubpath();
    p.setBrush(colour);
    p.drawPath(pin);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, r * 0.4, r * 0.4);
}

void drawGlyph(QPainter &p, ButtonGlyph glyph)
{
    QPen pen(glyphColour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF c(20, 20);
    switch (glyph) {
    case ButtonGlyph::Locate:
        p.drawEllipse(c, 9, 9);
        p.drawLine(QPointF(20, 6), QPointF(20, 13));
        p.drawLine(QPointF(20, 27), QPointF(20, 34));
        p.drawLine(QPointF(6, 20), QPointF(13, 20));
        p.drawLine(QPointF(27, 20), QPointF(34, 20));
        break;
    case ButtonGlyph::ZoomIn:
        p.drawLine(QPointF(10, 20), QPointF(30, 20));
        p.drawLine(QPointF(20, 10), QPointF(20, 30));
        break;
    case ButtonGlyph::ZoomOut:
        p.drawLine(QPointF(10, 20), QPointF(30, 20));
        break;
    case ButtonGlyph::Clear:
        p.drawLine(QPointF(12, 12), QPointF(28, 28));
        p.drawLine(QPointF(28, 12), QPointF(12, 28));
        break;
    case ButtonGlyph::Measure:
        p.drawRect(QRectF(7, 15, 26, 10));
        pen.setWidth(2);
        p.setPen(pen);
        for (int x = 12; x <= 28; x += 5)
            p.drawLine(QPointF(x, 15), QPointF(x, 20));
        break;
    case ButtonGlyph::Follow:
        p.drawEllipse(c, 11, 11);
        p.setBrush(glyphColour);
        p.drawEllipse(c, 4, 4);
        break;
    case ButtonGlyph::Placemark:
        p.setPen(Qt::NoPen);
        drawPin(p, QRectF(11, 6, 18, 28), glyphColour);
        break;
    case ButtonGlyph::Offset:
        p.drawArc(QRectF(8, 8, 24, 24), 30 * 16, 240 * 16);
        p.drawLine(QPointF(20, 20), QPointF(31, 13));
        p.drawLine(QPointF(31, 13), QPointF(25, 12));
        break;
    }
}

void drawRoseLetters(QPainter &p, const QPointF &c, qreal radius)
{
    QFont font;
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    const struct { const char *text; qreal angle; QColor colour; } letters[] = {
        {"N", 0, QColor(230, 40, 40)}, {"E", 90, Qt::white},
        {"S", 180, Qt::white}, {"W", 270, Qt::white}};
    for (const auto &letter : letters) {
        const qreal a = qDegreesToRadians(letter.angle);
        const QPointF at(c.x() + radius * qSin(a), c.y() - radius * qCos(a));
        p.setPen(letter.colour);
        p.drawText(QRectF(at.x() - 12, at.y() - 12, 24, 24), Qt::AlignCenter,
                   QString::fromLatin1(letter.text));
    }
}

} // namespace

QImage button(ButtonGlyph glyph, bool toggled)
{
    QImage image = blank(buttonSize, buttonSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 160), 1.5));
    p.setBrush(toggled ? buttonLit : buttonFace);
    p.drawRoundedRect(QRectF(1, 1, buttonSize - 2, buttonSize - 2), 7, 7);
    drawGlyph(p, glyph);
    return image;
}

QImage compassRose()
{
    const int size = 128;
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(size / 2.0, size / 2.0);
    p.setPen(QPen(QColor(255, 255, 255, 200), 2));
    p.setBrush(QColor(20, 30, 45, 170));
    p.drawEllipse(c, 62, 62);
    for (int degrees = 0; degrees < 360; degrees += 30) {
        const qreal a = qDegreesToRadians(qreal(degrees));
        p.drawLine(QPointF(c.x() + 54 * qSin(a), c.y() - 54 * qCos(a)),
                   QPointF(c.x() + 60 * qSin(a), c.y() - 60 * qCos(a)));
    }
    drawRoseLetters(p, c, 42);
    return image;
}

QImage placemarkIcon()
{
    QImage image = blank(64, 64);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 0, 0), 2));
    drawPin(p, QRectF(16, 4, 32, 56), QColor(220, 30, 30));
    return image;
}

QVector<QRgb> loadingPalette()
{
    // A grey ramp is all a spinner of grey dots on a dark field needs.
    QVector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.append(qRgb(i, i, i));
    return palette;
}

QVector<QImage> loadingFrames()
{
    QVector<QImage> frames;
    const QPointF c(loadingSize / 2.0, loadingSize / 2.0);
    for (int frame = 0; frame < loadingFrameCount; ++frame) {
        QImage image(loadingSize, loadingSize, QImage::Format_RGB32);
        image.fill(QColor(32, 32, 32));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int dot = 0; dot < loadingFrameCount; ++dot) {
            // The lit dot walks round; the ones behind it fade out.
            const int age = (frame - dot + loadingFrameCount) % loadingFrameCount;
            const int level = 240 - age * 16;
            const qreal a = 2 * M_PI * dot / loadingFrameCount;
            p.setBrush(QColor(level, level, level));
            p.drawEllipse(QPointF(c.x() + 50 * qSin(a), c.y() - 50 * qCos(a)), 9, 9);
        }
        frames.append(image);
    }
    return frames;
}

} // namespace artwork
