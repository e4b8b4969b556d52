#pragma once

#include <QImage>
#include <QRect>

// What the viewer's screenshot tests look for in a picture.
namespace pixels {

// The camera footprint's fill.
inline bool cyanish(QRgb p) { return qGreen(p) > qRed(p) + 50 && qBlue(p) > qRed(p) + 50; }
// The target's pin.
inline bool pinRed(QRgb p) { return qRed(p) > 170 && qGreen(p) < 80 && qBlue(p) < 80; }

inline int count(const QImage &image, const QRect &area, bool (*matches)(QRgb))
{
    int found = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            found += matches(image.pixel(x, y)) ? 1 : 0;
    return found;
}

} // namespace pixels
