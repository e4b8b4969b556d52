#include <QtTest>

#include <cmath>

#include "GeoviewMapState.h"
#include "GeoviewMapWidget.h"
#include "geo/AltitudeSymbol.h"
#include "geo/IconSymbol.h"
#include "geo/PolygonSymbol.h"

namespace {

const QString earthFile = QStringLiteral(STATION_BIN_DIR "/data/arcgis.earth");

// The record's fifteen values; only those the footprint reads are named.
struct Record
{
    double zoom = 5.0;
    double targetLon = 114.01;
    double targetLat = 22.51;
    double lon = 114.0;
    double lat = 22.5;
    double yawAbs = 0.0;
    double fov = 60.0;
};

template<class T>
int childrenOfType(const osg::Group *group)
{
    int found = 0;
    for (unsigned i = 0; i < group->getNumChildren(); ++i)
        found += dynamic_cast<const T *>(group->getChild(i)) ? 1 : 0;
    return found;
}

} // namespace

class CameraFootprintTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void zoomSetsTheRadius_data();
    void zoomSetsTheRadius();
    void firstMessageKeepsTheStartRadius();
    void headingAndArc_data();
    void headingAndArc();
    void unusableAnglesLeaveTheFootprint_data();
    void unusableAnglesLeaveTheFootprint();
    void eachMessageReplacesSectorAndEditor();
    void onlyUpdatesWithATargetDrawIt();
    void withoutTheSceneNothingIsDrawn();

private:
    // The footprint's parts as the scene set-up leaves them.
    void setUpScene();
    void draw(const Record &r);
    const geo::CircleNode *sector() const { return m_widget->m_footprintSector.get(); }

    GeoviewMapWidget *m_widget = nullptr;
    QTemporaryDir m_workingDir;
};

void CameraFootprintTest::init()
{
    QVERIFY(QDir::setCurrent(m_workingDir.path()));
    m_widget = new GeoviewMapWidget(nullptr);
    setUpScene();
}

void CameraFootprintTest::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
}

void CameraFootprintTest::setUpScene()
{
    GeoviewMapWidget *w = m_widget;
    w->syncLoadEarthFile(earthFile);
    QVERIFY(w->m_mapNode != nullptr);
    w->m_geographicSRS = w->m_mapNode->getMapSRS()->getGeographicSRS();
    w->m_footprintStyle.getOrCreate<geo::PolygonSymbol>()->fill().color = geo::Color(geo::Color::Cyan, 0.5f);
    w->m_footprintStyle.getOrCreate<geo::AltitudeSymbol>()->clamping = geo::AltitudeSymbol::CLAMP_TO_TERRAIN;
    w->m_footprintStyle.getOrCreate<geo::AltitudeSymbol>()->technique = geo::AltitudeSymbol::TECHNIQUE_DRAPE;
    w->m_footprintCenter = geo::GeoPoint(w->m_geographicSRS, 113.91088, 22.543854, 1.0, geo::ALTMODE_RELATIVE);
    w->m_footprintRadius = geo::Distance(0.3, geo::Units::KILOMETERS);
    w->m_footprintStartAngle = geo::Angle(-45.0);
    w->m_footprintEndAngle = geo::Angle(45.0);
    GeoviewMapState::targetPlacemarkStyle.getOrCreate<geo::IconSymbol>()->url =
        STATION_BIN_DIR "/data/placemark64.png";
    w->m_targetPlacemark = new geo::PlaceNode(geo::GeoPoint(w->m_geographicSRS, 113.91055, 22.543854),
                                              "", GeoviewMapState::targetPlacemarkStyle);
}

void CameraFootprintTest::draw(const Record &r)
{
    QVERIFY(m_widget->drawCameraFootprint(0, r.zoom, r.targetLon, r.targetLat, r.lon, r.lat, 120.0, 0,
                                          r.yawAbs, 0, r.fov, 0, 0, 0, 0));
}

void CameraFootprintTest::zoomSetsTheRadius_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<double>("radiusKm");

    // The radius before: zoom 1.5 gives 0.4 km, which no case below gives.
    constexpr double kept = 0.40;
    QTest::newRow("29.5") << 29.5 << 2.0;
    QTest::newRow("infinity") << HUGE_VAL << 2.0;
    QTest::newRow("29 keeps") << 29.0 << kept;
    QTest::newRow("28.5") << 28.5 << 1.57;
    QTest::newRow("23.5") << 23.5 << 1.50;
    QTest::newRow("20.5") << 20.5 << 1.30;
    QTest::newRow("19.5") << 19.5 << 1.20;
    QTest::newRow("19 keeps") << 19.0 << kept;
    QTest::newRow("18.5") << 18.5 << 1.00;
    // Overlapping bands: the first that holds wins.
    QTest::newRow("18") << 18.0 << 1.00;
    QTest::newRow("17") << 17.0 << 0.99;
    QTest::newRow("16") << 16.0 << 0.96;
    QTest::newRow("15") << 15.0 << 0.94;
    QTest::newRow("14") << 14.0 << 0.92;
    QTest::newRow("13") << 13.0 << 0.90;
    QTest::newRow("12") << 12.0 << 0.86;
    QTest::newRow("11") << 11.0 << 0.83;
    QTest::newRow("10") << 10.0 << 0.80;
    QTest::newRow("9.5") << 9.5 << 0.80;
    QTest::newRow("8.5") << 8.5 << 0.76;
    QTest::newRow("5.5") << 5.5 << 0.65;
    QTest::newRow("0.5") << 0.5 << 0.30;
    QTest::newRow("0.001") << 0.001 << 0.30;
    for (int zoom = 0; zoom <= 9; ++zoom)
        QTest::newRow(qPrintable(QStringLiteral("%1 keeps").arg(zoom))) << double(zoom) << kept;
    QTest::newRow("-0.5 keeps") << -0.5 << kept;
    QTest::newRow("-infinity keeps") << -HUGE_VAL << kept;
    QTest::newRow("NaN keeps") << std::nan("") << kept;
}

void CameraFootprintTest::zoomSetsTheRadius()
{
    QFETCH(double, zoom);
    QFETCH(double, radiusKm);
    Record r;
    r.zoom = 1.5;
    draw(r);
    r.zoom = zoom;
    draw(r);
    QCOMPARE(sector()->getRadius().as(geo::Units::KILOMETERS), radiusKm);
}

void CameraFootprintTest::firstMessageKeepsTheStartRadius()
{
    Record r;
    r.zoom = 5.0;
    draw(r);
    QCOMPARE(sector()->getRadius().as(geo::Units::KILOMETERS), 0.3);
}

void CameraFootprintTest::headingAndArc_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<double>("yawAbs");
    QTest::addColumn<double>("fov");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    QTest::newRow("offset 10, yaw 355") << 10 << 355.0 << 60.0 << -25 << 35;
    QTest::newRow("no field of view") << 0 << 123.9 << 0.0 << 123 << 123;
    QTest::newRow("north") << 0 << 0.0 << 90.0 << -45 << 45;
    QTest::newRow("just short of a turn") << 0 << 359.9 << 45.0 << 336 << 381;
    // Truncation toward zero, and a remainder with the sign of the sum.
    QTest::newRow("below a turn back") << 0 << -725.5 << 61.0 << -35 << 25;
    QTest::newRow("negative offset") << -30 << 10.0 << 20.0 << 330 << 350;
    QTest::newRow("two turns on") << 5 << 715.2 << 33.0 << -16 << 16;
}

void CameraFootprintTest::headingAndArc()
{
    QFETCH(int, offset);
    QFETCH(double, yawAbs);
    QFETCH(double, fov);
    QFETCH(int, start);
    QFETCH(int, end);

    m_widget->offsetPosition(offset);
    Record r;
    r.yawAbs = yawAbs;
    r.fov = fov;
    draw(r);
    QCOMPARE(sector()->getArcStart().as(geo::Units::DEGREES), double(start));
    QCOMPARE(sector()->getArcEnd().as(geo::Units::DEGREES), double(end));
    QCOMPARE(m_widget->m_footprintStartAngle.as(geo::Units::DEGREES), double(start));
    QCOMPARE(m_widget->m_footprintEndAngle.as(geo::Units::DEGREES), double(end));
    QVERIFY(sector()->isPie());
}

void CameraFootprintTest::unusableAnglesLeaveTheFootprint_data()
{
    QTest::addColumn<double>("yawAbs");
    QTest::addColumn<double>("fov");
    QTest::newRow("yaw NaN") << std::nan("") << 60.0;
    QTest::newRow("yaw infinite") << HUGE_VAL << 60.0;
    QTest::newRow("field of view NaN") << 10.0 << std::nan("");
    QTest::newRow("field of view beyond int") << 10.0 << 1.0e10;
}

void CameraFootprintTest::unusableAnglesLeaveTheFootprint()
{
    QFETCH(double, yawAbs);
    QFETCH(double, fov);
    Record r;
    draw(r);
    const geo::CircleNode *before = sector();

    r.yawAbs = yawAbs;
    r.fov = fov;
    r.zoom = 29.5;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^camera footprint: "));
    draw(r);
    QCOMPARE(sector(), before);
    QCOMPARE(sector()->getArcStart().as(geo::Units::DEGREES), -30.0);
    QCOMPARE(m_widget->m_footprintRadius.as(geo::Units::KILOMETERS), 0.3);
}

void CameraFootprintTest::eachMessageReplacesSectorAndEditor()
{
    osg::Group *mapNode = m_widget->m_mapNode;
    const unsigned before = mapNode->getNumChildren();
    QVERIFY(!mapNode->containsNode(m_widget->m_targetPlacemark.get()));

    Record first;
    draw(first);
    const geo::CircleNode *firstSector = sector();
    Record second;
    second.lon = 114.2;
    second.lat = 22.3;
    second.targetLon = 114.25;
    second.targetLat = 22.35;
    draw(second);

    QVERIFY(sector() != firstSector);
    QCOMPARE(mapNode->getNumChildren(), before + 3);
    QCOMPARE(childrenOfType<geo::CircleNode>(mapNode), 1);
    QCOMPARE(childrenOfType<geo::CircleNodeEditor>(mapNode), 1);
    QCOMPARE(childrenOfType<geo::PlaceNode>(mapNode), 1);
    QVERIFY(mapNode->containsNode(m_widget->m_footprintSector.get()));
    QCOMPARE(m_widget->m_footprintEditor->getCircle(), m_widget->m_footprintSector.get());

    // The sector sits on the drone, the mark on the target.
    QCOMPARE(sector()->getCenter().x(), 114.2);
    QCOMPARE(sector()->getCenter().y(), 22.3);
    QCOMPARE(sector()->getCenter().z(), 1.0);
    QCOMPARE(sector()->getCenter().altitudeMode(), geo::ALTMODE_RELATIVE);
    QCOMPARE(m_widget->m_targetPlacemark->getPosition().x(), 114.25);
    QCOMPARE(m_widget->m_targetPlacemark->getPosition().y(), 22.35);
    QVERIFY(m_widget->updatesEnabled());
}

void CameraFootprintTest::onlyUpdatesWithATargetDrawIt()
{
    // The drone's own position alone moves no footprint.
    m_widget->autoGoToPosition(0, 18, 0, 22.51, 114.0, 22.5, 120, 0, 0, 0, 60, 0, 0, 0, 0);
    QVERIFY(!m_widget->m_footprintSector.valid());

    // A target given, even without a drone longitude, draws it.
    m_widget->autoGoToPosition(0, 18, 114.01, 22.51, 0, 0, 0, 0, 40, 0, 60, 0, 0, 0, 0);
    QVERIFY(m_widget->m_footprintSector.valid());
    QCOMPARE(sector()->getRadius().as(geo::Units::KILOMETERS), 1.0);
    QCOMPARE(sector()->getArcStart().as(geo::Units::DEGREES), 10.0);
    QCOMPARE(sector()->getArcEnd().as(geo::Units::DEGREES), 70.0);
}

void CameraFootprintTest::withoutTheSceneNothingIsDrawn()
{
    // Before the scene exists there is no mark to place and nothing to
    // draw on; the messages that arrive then are ignored.
    delete m_widget;
    m_widget = new GeoviewMapWidget(nullptr);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no map node"));
    draw(Record());
    QVERIFY(!m_widget->m_footprintSector.valid());

    m_widget->syncLoadEarthFile(earthFile);
    draw(Record());
    QVERIFY(!m_widget->m_footprintSector.valid());
}

QTEST_MAIN(CameraFootprintTest)
#include "tst_camerafootprint.moc"
