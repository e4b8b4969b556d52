// Writes the viewer's data folder: button faces, compass rose, placemark
// icon, drone model and earth file. The build
// runs it, so the installation never depends on files made by hand.

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>

#include <osgDB/WriteFile>

#include "Artwork.h"
#include "DroneModel.h"

namespace {

using artwork::ButtonGlyph;

struct ButtonFile {
    const char *number;
    ButtonGlyph glyph;
    bool hasToggledFace;
};

// Only the buttons that switch a mode have a toggled face. Each face shows
// what its button does: the viewer's button 02 moves the camera out and
// button 03 moves it in.
const ButtonFile buttonFiles[] = {
    {"01", ButtonGlyph::Locate, false},    {"02", ButtonGlyph::ZoomOut, false},
    {"03", ButtonGlyph::ZoomIn, false},    {"06", ButtonGlyph::Clear, true},
    {"07", ButtonGlyph::Measure, true},    {"08", ButtonGlyph::Follow, true},
    {"09", ButtonGlyph::Placemark, true},  {"10", ButtonGlyph::Offset, false},
};

// The world image is named relatively: the viewer reads a copy of this file
// from another folder, and the reader then finds the image in the data
// folder beside the program.
const char earthFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<globe name=\"World\">\n"
    "    <image-layer name=\"World imagery\" file=\"earth.jpg\"/>\n"
    "</globe>\n";

bool saveImage(const QImage &image, const QString &path)
{
    if (image.save(path, "PNG"))
        return true;
    qWarning() << "cannot write" << path;
    return false;
}

bool writeButtons(const QDir &data)
{
    bool ok = true;
    for (const ButtonFile &file : buttonFiles) {
        const QString stem = QStringLiteral("Optivane%1_").arg(QLatin1String(file.number));
        ok &= saveImage(artwork::button(file.glyph, false), data.filePath(stem + "01.png"));
        if (file.hasToggledFace)
            ok &= saveImage(artwork::button(file.glyph, true), data.filePath(stem + "02.png"));
    }
    return ok;
}

bool writeText(const QString &path, const QByteArray &text)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    qWarning() << "cannot write" << path;
    return false;
}

bool writeDrone(const QString &path)
{
    if (osgDB::writeNodeFile(*buildDroneModel(), path.toStdString()))
        return true;
    qWarning() << "cannot write" << path;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawing text needs a GUI application but never a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        qWarning() << "usage: geo-data-gen <data folder>";
        return 2;
    }
    QDir data(QString::fromLocal8Bit(argv[1]));
    if (!data.mkpath(QStringLiteral("."))) {
        qWarning() << "cannot create" << data.path();
        return 1;
    }
    bool ok = writeButtons(data);
    ok &= saveImage(artwork::compassRose(), data.filePath(QStringLiteral("compass.png")));
    ok &= saveImage(artwork::placemarkIcon(), data.filePath(QStringLiteral("placemark64.png")));
    ok &= writeDrone(data.filePath(QStringLiteral("drone.osgb")));
    ok &= writeText(data.filePath(QStringLiteral("arcgis.earth")), earthFile);
    return ok ? 0 : 1;
}
