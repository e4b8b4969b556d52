#include <QtTest>
#include <QApplication>
#include <QJsonDocument>

#include <osgDB/ReadFile>

#include "Geoscope.h"
#include "GeoviewMapInputWidget.h"
#include "GeoviewMapWidget.h"
#include "NQXClient.h"
#include "OsgViewerWidget.h"
#include "PacketRegistry.h"
#include "PositionRecord.h"

using PositionRecord::doubles;
using PositionRecord::record;

namespace {

// The numbered placemarks on the window's globe.
size_t placemarksOn(Geoscope &window)
{
    osg::Group *scene = window.findChild<OsgViewerWidget *>()->getOsgViewer()->getSceneData()->asGroup();
    size_t found = 0;
    for (unsigned int i = 0; i < scene->getNumChildren(); ++i) {
        auto *place = dynamic_cast<geo::PlaceNode *>(scene->getChild(i));
        if (place && place->getText().rfind("Geo Point ", 0) == 0)
            ++found;
    }
    return found;
}

} // namespace

class GeoscopeTest : public QObject
{
    Q_OBJECT

private slots:
    void windowTakesTheHostsPlace();
    void locationRequestPlacesAMarkAtGroundLevel();
    void linkClientIsCreatedOnceAndForwards();
};

void GeoscopeTest::windowTakesTheHostsPlace()
{
    Geoscope window(nullptr);
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window.geometry(), QRect(-2, -2, 1, 1));
    QVERIFY(window.isVisible());

    // Without a link client the operator's requests go nowhere, quietly.
    window.onManualViewPositionChanged(true, 0, 0, 0, 0, 113.9, 22.5, 10, 0, 0, 0, 0, 0, 0, 0, 0);
    window.onForceLocationChanged();

    window.onWindowShow("T", 10, 20, 300, 200);
    QCOMPARE(window.windowTitle(), QString("T"));
    QCOMPARE(window.geometry(), QRect(10, 20, 300, 200));
    auto *map = window.findChild<GeoviewMapWidget *>();
    QCOMPARE(map->windowTitle(), QString("T"));
    QCOMPARE(map->findChild<GeoviewMapInputWidget *>()->windowTitle(), QString("T"));
}

void GeoscopeTest::locationRequestPlacesAMarkAtGroundLevel()
{
    Geoscope window(nullptr);
    auto *map = window.findChild<GeoviewMapWidget *>();
    QVERIFY(window.onLoactionChanged("10.0.0.1", true, 113.9, 22.5));
    QCOMPARE(placemarksOn(window), size_t(0));

    // Installed without the load's signals: those would bring up this
    // process's one link node, which a later test needs.
    osg::ref_ptr<osg::Node> earth = osgDB::readNodeFile(STATION_BIN_DIR "/data/arcgis.earth");
    map->installMapNode({earth, geo::MapNode::findMapNode(earth.get())});
    QSignalSpy manual(map, &GeoviewMapWidget::manualViewPositionChanged);
    QVERIFY(window.onLoactionChanged("", false, 113.9, 22.5));
    QCOMPARE(manual.count(), 1);
    QCOMPARE(manual[0][0].toBool(), false);
    QCOMPARE(doubles(manual[0], 1), record({{4, 113.9}, {5, 22.5}, {6, 0.0}}));
    QCOMPARE(placemarksOn(window), size_t(1));
}

void GeoscopeTest::linkClientIsCreatedOnceAndForwards()
{
    // The window's scene loads the earth file as it shows; there is none
    // beside this test program, and a failed load still brings the link up:
    // the host must be able to place the window even without a globe in it.
    Geoscope window(nullptr);
    const NQXClient *first = window.linkClient();
    QVERIFY(first != nullptr);
    auto *map = window.findChild<GeoviewMapWidget *>();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no map in the earth file"));
    map->syncLoadEarthFile(STATION_TEST_DATA_DIR "/not-an-earth-file.earth");
    QCOMPARE(window.linkClient(), first);
    map->syncLoadEarthFile(STATION_BIN_DIR "/data/arcgis.earth");
    QCOMPARE(window.linkClient(), first);

    // With a client but no host yet the request is dropped, not queued.
    window.onForceLocationChanged();
}

int main(int argc, char **argv)
{
    // The window reads its launch token from the command line and watches
    // the process it names: this one, which therefore outlives the watch.
    QJsonObject token;
    token.insert("ServerProcessId", QString::number(QCoreApplication::applicationPid()));
    token.insert("ServerLinkName", "{tst-geoscope}");
    token.insert("ClientLinkName", "{tst-geoscope}_Client");
    QByteArray tokenText = QJsonDocument(token).toJson().toBase64();
    QByteArray flag("-Geoframe");
    char *viewerArgv[] = {argv[0], flag.data(), tokenText.data(), nullptr};
    int viewerArgc = 3;
    QApplication app(viewerArgc, viewerArgv);
    registerPacketCreators();
    GeoscopeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_geoscopewindow.moc"
