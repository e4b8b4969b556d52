// The data folder the build writes: every file is there and loads.

#include <QFileInfo>
#include <QImage>
#include <QMovie>
#include <QtTest>

#include <osgDB/FileUtils>
#include <osgDB/ReadFile>
#include <osgText/Font>

#include "geo/FontFileLookup.h"
#include "geo/MapNode.h"
#include "platform/FontLookup.h"

namespace {

std::string dataFile(const char *name)
{
    return std::string(STATION_BIN_DIR) + "/data/" + name;
}

} // namespace

class DataFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void images_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        for (const char *number : {"01", "02", "03", "06", "07", "08", "09", "10"})
            QTest::newRow(number) << QStringLiteral("Optivane%1_01.png").arg(number) << 40;
        for (const char *number : {"06", "07", "08", "09"})
            QTest::newRow(number) << QStringLiteral("Optivane%1_02.png").arg(number) << 40;
        QTest::newRow("compass") << "compass.png" << 128;
        QTest::newRow("placemark") << "placemark64.png" << 64;
    }

    void images()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        osg::ref_ptr<osg::Image> image = osgDB::readRefImageFile(dataFile(qPrintable(name)));
        QVERIFY(image);
        QCOMPARE(image->s(), size);
        QCOMPARE(image->t(), size);
        // Overlays are cut out: the corners are transparent.
        QCOMPARE(image->getColor(0, 0).a(), 0.0f);
    }

    void toggledFacesDiffer_data()
    {
        QTest::addColumn<QString>("number");
        for (const char *number : {"06", "07", "08", "09"})
            QTest::newRow(number) << number;
    }

    void toggledFacesDiffer()
    {
        QFETCH(QString, number);
        const QImage normal(QString::fromStdString(dataFile("Optivane")) + number + "_01.png");
        const QImage toggled(QString::fromStdString(dataFile("Optivane")) + number + "_02.png");
        QVERIFY(!normal.isNull() && !toggled.isNull());
        QVERIFY(normal != toggled);
    }

    void droneModel()
    {
        osg::ref_ptr<osg::Node> drone = osgDB::readRefNodeFile(dataFile("drone.osgb"));
        QVERIFY(drone);
        // A few metres across, centred on its origin.
        QVERIFY(drone->getBound().radius() > 1.0f && drone->getBound().radius() < 5.0f);
        QVERIFY(drone->getBound().center().length() < 1.0f);
    }

    void earthFile()
    {
        osg::ref_ptr<osg::Node> earth = osgDB::readRefNodeFile(dataFile("arcgis.earth"));
        QVERIFY(earth);
        geo::MapNode *mapNode = geo::MapNode::findMapNode(earth.get());
        QVERIFY(mapNode);
        QVERIFY(mapNode->getMap()->getWorldImage());
    }

    void loadingAnimation()
    {
        QMovie movie(QString::fromStdString(dataFile("MapLoading.gif")));
        QVERIFY(movie.isValid());
        QCOMPARE(movie.format(), QByteArray("gif"));
        QCOMPARE(movie.frameCount(), 12);
        QCOMPARE(movie.loopCount(), -1);
        // GIF frames are only read in order.
        QVERIFY(movie.jumpToFrame(0));
        const QImage first = movie.currentImage();
        QCOMPARE(first.size(), QSize(160, 160));
        for (int frame = 1; frame <= 6; ++frame)
            QVERIFY(movie.jumpToNextFrame());
        QVERIFY(movie.currentImage() != first);
    }

    void fontAskedForByFileName()
    {
        // The labels ask for "simhei.ttf", which is not installed; the
        // installed Chinese font stands in for it.
        const QString standIn = platform::fontFileFor(QStringLiteral("simhei.ttf"));
        QVERIFY(QFileInfo::exists(standIn));
        QVERIFY2(standIn.contains(QLatin1String("wqy")), qPrintable(standIn));
        geo::FontFileLookup::install();
        geo::FontFileLookup::install();
        osg::ref_ptr<osgText::Font> font = osgText::readRefFontFile("simhei.ttf");
        QVERIFY(font);
        QCOMPARE(QString::fromStdString(font->getFileName()), standIn);
        // Other lookups still work, and unknown non-font files stay unfound.
        QVERIFY(osgDB::findDataFile(dataFile("compass.png")).size() > 0);
        QVERIFY(osgDB::findDataFile("no-such-picture.png").empty());
    }
};

QTEST_MAIN(DataFilesTest)
#include "tst_datafiles.moc"
