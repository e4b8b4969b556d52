#pragma once

#include <QImage>
#include <QString>
#include <QVector>

// The pictures of the viewer's data folder, drawn rather than shipped so that
// the project owns every pixel it delivers.
namespace artwork {

// Glyphs of the on-screen buttons, one per action.
enum class ButtonGlyph { Locate, ZoomIn, ZoomOut, Clear, Measure, Follow, Placemark, Offset };

// A button face; a toggled button is lit so the operator sees the mode is on.
QImage button(ButtonGlyph glyph, bool toggled);
QImage compassRose();
QImage placemarkIcon();

// The frames of the host's loading animation, and the palette they use.
QVector<QImage> loadingFrames();
QVector<QRgb> loadingPalette();

} // namespace artwork
