#include "geo/EarthFileReader.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <osgDB/FileNameUtils>
#include <osgDB/FileUtils>
#include <osgDB/ReadFile>

#include "geo/MapNode.h"
#include "platform/Locate.h"

namespace geo {

namespace {

struct EarthFile
{
    QString name;
    QString imageFile;
    QString error;
};

EarthFile parse(QIODevice &device)
{
    EarthFile earth;
    QXmlStreamReader xml(&device);
    if (!xml.readNextStartElement()) {
        earth.error = QStringLiteral("not an XML document");
        return earth;
    }
    if (xml.name() != QLatin1String("globe")) {
        earth.error = QStringLiteral("root element is not <globe>");
        return earth;
    }
    earth.name = xml.attributes().value(QLatin1String("name")).toString();
    int layers = 0;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("image-layer")) {
            ++layers;
            earth.imageFile = xml.attributes().value(QLatin1String("file")).toString();
        }
        xml.skipCurrentElement();
    }
    if (xml.hasError())
        earth.error = QStringLiteral("malformed XML: ") + xml.errorString();
    else if (layers != 1)
        earth.error = QStringLiteral("expected one <image-layer>, found %1").arg(layers);
    else if (earth.imageFile.isEmpty())
        earth.error = QStringLiteral("<image-layer> names no file");
    return earth;
}

// An absolute path as it is; a relative one beside the earth file, then in
// the installation's data folder. Empty when neither has it.
QString resolveImage(const QString &imageFile, const QString &earthFilePath)
{
    if (QFileInfo(imageFile).isAbsolute())
        return QFileInfo::exists(imageFile) ? imageFile : QString();
    const QStringList folders = {QFileInfo(earthFilePath).absolutePath(),
                                 QDir(platform::programFolder()).filePath(QStringLiteral("data"))};
    for (const QString &folder : folders) {
        const QString candidate = QDir(folder).filePath(imageFile);
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QString();
}

osgDB::ReaderWriter::ReadResult fail(const QString &path, const QString &reason)
{
    qWarning() << "earth file" << path << "not loaded:" << reason;
    return osgDB::ReaderWriter::ReadResult(osgDB::ReaderWriter::ReadResult::ERROR_IN_READING_FILE);
}

} // namespace

EarthFileReader::EarthFileReader()
{
    supportsExtension("earth", "Globe map description");
}

osgDB::ReaderWriter::ReadResult EarthFileReader::readNode(const std::string &fileName,
                                                           const Options *options) const
{
    if (!acceptsExtension(osgDB::getLowerCaseFileExtension(fileName)))
        return ReadResult::FILE_NOT_HANDLED;
    const std::string found = osgDB::findDataFile(fileName, options);
    if (found.empty())
        return ReadResult::FILE_NOT_FOUND;
    const QString path = QString::fromStdString(found);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(path, file.errorString());
    const EarthFile earth = parse(file);
    if (!earth.error.isEmpty())
        return fail(path, earth.error);

    const QString imagePath = resolveImage(earth.imageFile, path);
    if (imagePath.isEmpty())
        return fail(path, QStringLiteral("image \"%1\" not found").arg(earth.imageFile));
    osg::ref_ptr<osg::Image> image = osgDB::readRefImageFile(imagePath.toStdString());
    if (!image.valid())
        return fail(path, QStringLiteral("image \"%1\" not readable").arg(imagePath));

    return new MapNode(new Map(earth.name.toStdString(), image.get()));
}

} // namespace geo
