// Earth files as the scene-graph reader sees them: good ones give a map
// node over the whole world image, bad ones give nothing and say why.

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <osg/Group>
#include <osgDB/ReadFile>

#include "geo/MapNode.h"

using namespace geo;

class EarthFileTest : public QObject
{
    Q_OBJECT

private slots:
    void imageFromTheProgramsDataFolder();
    void imageBesideTheEarthFile();
    void badFilesGiveNoNode_data();
    void badFilesGiveNoNode();
    void missingFileGivesNoNode();
    void findMapNode_data();
    void findMapNode();
};

static osg::ref_ptr<osg::Node> read(const QString &path)
{
    return osgDB::readRefNodeFile(path.toStdString());
}

void EarthFileTest::imageFromTheProgramsDataFolder()
{
    // The fixture names "earth.jpg", which lies only in the data folder
    // beside the test program, as it lies beside the installed viewer.
    osg::ref_ptr<osg::Node> node = read(STATION_TEST_DATA_DIR "/world.earth");
    MapNode *mapNode = MapNode::findMapNode(node.get());
    QVERIFY(mapNode);
    QCOMPARE(mapNode->getMap()->getName(), std::string("World"));
    QVERIFY(mapNode->getMap()->isGeocentric());
    QVERIFY(mapNode->getMapSRS()->isGeographic());
    QVERIFY(mapNode->getTerrain());
    QCOMPARE(mapNode->getMap()->getElevation(116.5, 40.1), 0.0);

    // The whole-world image of the installation: 2:1, 2048 wide.
    const osg::Image *image = mapNode->getMap()->getWorldImage();
    QVERIFY(image);
    QCOMPARE(image->s(), 2048);
    QCOMPARE(image->t(), 1024);
    QCOMPARE(mapNode->getChild(0), static_cast<osg::Node *>(mapNode->getGlobe()));
}

void EarthFileTest::imageBesideTheEarthFile()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkpath("maps"));
    QVERIFY(QFile::copy(STATION_TEST_DATA_DIR "/beside.earth", folder.filePath("beside.earth")));
    QVERIFY(QFile::copy(STATION_BIN_DIR "/data/earth.jpg", folder.filePath("maps/world.jpg")));

    osg::ref_ptr<osg::Node> node = read(folder.filePath("beside.earth"));
    MapNode *mapNode = MapNode::findMapNode(node.get());
    QVERIFY(mapNode);
    QCOMPARE(mapNode->getMap()->getName(), std::string("Beside"));
    QVERIFY(mapNode->getMap()->getWorldImage());
}

void EarthFileTest::badFilesGiveNoNode_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");

    QTest::newRow("not XML") << "not-xml.earth" << "not an XML document";
    QTest::newRow("empty") << "empty.earth" << "not an XML document";
    QTest::newRow("another root") << "wrong-root.earth" << "root element is not <globe>";
    QTest::newRow("no image layer") << "no-image-layer.earth" << "expected one <image-layer>, found 0";
    QTest::newRow("two image layers") << "two-image-layers.earth" << "expected one <image-layer>, found 2";
    QTest::newRow("layer without file") << "no-file-attribute.earth" << "<image-layer> names no file";
    QTest::newRow("image missing") << "missing-image.earth" << "image .*no-such-image.jpg.* not found";
    QTest::newRow("image unreadable") << "unreadable-image.earth" << "image .* not readable";
    QTest::newRow("truncated") << "truncated.earth" << "malformed XML";
}

void EarthFileTest::badFilesGiveNoNode()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);

    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("^earth file \".*" + QRegularExpression::escape(file)
                                            + "\" not loaded: \"" + reason));
    osg::ref_ptr<osg::Node> node = read(STATION_TEST_DATA_DIR "/" + file);
    QVERIFY(!node.valid());
}

void EarthFileTest::missingFileGivesNoNode()
{
    QVERIFY(!read(STATION_TEST_DATA_DIR "/no-such-file.earth").valid());
}

void EarthFileTest::findMapNode_data()
{
    QTest::addColumn<unsigned>("nodeMask");
    QTest::addColumn<unsigned>("traversalMask");
    QTest::addColumn<bool>("found");

    QTest::newRow("everything visible") << 0xFFFFFFFFu << 0xFFFFFFFFu << true;
    QTest::newRow("masks share a bit") << 0x3u << 0x2u << true;
    QTest::newRow("masked off") << 0x1u << 0x2u << false;
}

void EarthFileTest::findMapNode()
{
    QFETCH(unsigned, nodeMask);
    QFETCH(unsigned, traversalMask);
    QFETCH(bool, found);

    osg::ref_ptr<osg::Node> earth = read(STATION_TEST_DATA_DIR "/world.earth");
    osg::ref_ptr<osg::Group> root = new osg::Group;
    osg::ref_ptr<osg::Group> middle = new osg::Group;
    root->addChild(new osg::Group);
    root->addChild(middle.get());
    middle->addChild(earth.get());
    middle->setNodeMask(nodeMask);

    MapNode *mapNode = MapNode::findMapNode(root.get(), traversalMask);
    QCOMPARE(mapNode != nullptr, found);
    if (found)
        QCOMPARE(static_cast<osg::Node *>(mapNode), earth.get());
    QVERIFY(!MapNode::findMapNode(nullptr));
}

QTEST_MAIN(EarthFileTest)
#include "tst_earthfile.moc"
