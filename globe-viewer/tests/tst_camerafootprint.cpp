#include <QtTest>

#include <cmath>

#include "GeoviewMapState.h"
#include "GeoviewMapWidget.h"
#include "OsgViewerWidget.h"
#include "ScaleBarHandler.h"
#include "geo/AltitudeSymbol.h"
#include "geo/GeoMath.h"
#include "geo/HBox.h"
#include "geo/IconSymbol.h"
#include "geo/PolygonSymbol.h"

#include "PixelCount.h"

using pixels::count;
using pixels::cyanish;
using pixels::pinRed;

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

constexpr int kViewWidth = 800;
constexpr int kViewHeight = 600;

// The rose's dark slate disc, darker and bluer than the globe around it.
bool roseSlate(QRgb p)
{
    return qRed(p) < 60 && qGreen(p) < 70 && qBlue(p) < 70 && std::abs(qGreen(p) - qBlue(p)) < 12;
}
bool nearBlack(QRgb p) { return qRed(p) < 50 && qGreen(p) < 50 && qBlue(p) < 50; }
bool light(QRgb p) { return qRed(p) > 150 && qGreen(p) > 150 && qBlue(p) > 150; }

QRect canvasRect(const geo::Control &control)
{
    const geo::ControlRect &r = control.rect();
    return QRect(int(r.x), int(r.y), int(r.width), int(r.height));
}

// Where a control draws its content: its box less its padding.
QRect contentOf(const geo::Control &control)
{
    using S = geo::Control;
    return canvasRect(control).adjusted(int(control.padding(S::SIDE_LEFT)), int(control.padding(S::SIDE_TOP)),
                                        -int(control.padding(S::SIDE_RIGHT)),
                                        -int(control.padding(S::SIDE_BOTTOM)));
}

// The point `metres` away from (lon, lat) along `bearing` degrees.
geo::GeoPoint awayFrom(double lon, double lat, double bearing, double metres)
{
    double outLat = 0.0, outLon = 0.0;
    geo::GeoMath::destination(osg::DegreesToRadians(lat), osg::DegreesToRadians(lon),
                              osg::DegreesToRadians(bearing), metres, outLat, outLon);
    return geo::GeoPoint(geo::SpatialReference::wgs84Geographic(), osg::RadiansToDegrees(outLon),
                         osg::RadiansToDegrees(outLat));
}

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
    void unusableRecordsLeaveTheFootprint_data();
    void unusableRecordsLeaveTheFootprint();
    void eachMessageReplacesSectorAndEditor();
    void onlyUpdatesWithATargetDrawIt();
    void withoutTheSceneNothingIsDrawn();
    void globeShowsFootprintCompassAndScaleBar();

private:
    // The footprint's parts as the scene set-up leaves them.
    void setUpScene();
    void draw(const Record &r);
    // Shows the widget and puts the overlays on its view; returns the view.
    osgViewer::Viewer *showWithOverlays();
    QPoint pixelOf(const geo::GeoPoint &point) const;
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
    QTest::newRow("0.5") << 0.5 << 0.30;
    for (int zoom = 0; zoom <= 9; ++zoom)
        QTest::newRow(qPrintable(QStringLiteral("%1 keeps").arg(zoom))) << double(zoom) << kept;
    QTest::newRow("-0.5 keeps") << -0.5 << kept;
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

void CameraFootprintTest::unusableRecordsLeaveTheFootprint_data()
{
    QTest::addColumn<double>("yawAbs");
    QTest::addColumn<double>("fov");
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("targetLat");
    QTest::newRow("yaw NaN") << std::nan("") << 60.0 << 114.0 << 22.51;
    QTest::newRow("yaw infinite") << HUGE_VAL << 60.0 << 114.0 << 22.51;
    QTest::newRow("field of view NaN") << 10.0 << std::nan("") << 114.0 << 22.51;
    QTest::newRow("field of view beyond int") << 10.0 << 1.0e10 << 114.0 << 22.51;
    QTest::newRow("drone longitude 1e39") << 10.0 << 60.0 << 1e39 << 22.51;
    QTest::newRow("target latitude NaN") << 10.0 << 60.0 << 114.0 << std::nan("");
    QTest::newRow("target latitude beyond the pole") << 10.0 << 60.0 << 114.0 << 91.0;
}

void CameraFootprintTest::unusableRecordsLeaveTheFootprint()
{
    QFETCH(double, yawAbs);
    QFETCH(double, fov);
    QFETCH(double, lon);
    QFETCH(double, targetLat);
    Record r;
    draw(r);
    const geo::CircleNode *before = sector();

    r.yawAbs = yawAbs;
    r.fov = fov;
    r.lon = lon;
    r.targetLat = targetLat;
    r.zoom = 29.5;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^camera footprint: "));
    draw(r);
    QCOMPARE(sector(), before);
    QCOMPARE(sector()->getArcStart().as(geo::Units::DEGREES), -30.0);
    QCOMPARE(m_widget->m_footprintRadius.as(geo::Units::KILOMETERS), 0.3);
    QCOMPARE(m_widget->m_targetPlacemark->getPosition().y(), Record().targetLat);
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

osgViewer::Viewer *CameraFootprintTest::showWithOverlays()
{
    GeoviewMapWidget *w = m_widget;
    // Only the globe and the pieces under test: the rest of the scene stays
    // out of the picture.
    QObject::disconnect(w->m_glWidget, SIGNAL(initialized()), w, SLOT(onOsgInitialized()));
    w->resize(kViewWidth, kViewHeight);
    QSignalSpy initialized(w->m_glWidget, &OsgViewerWidget::initialized);
    w->show();
    if (initialized.isEmpty() && !initialized.wait(10000))
        return nullptr;

    osgViewer::Viewer *viewer = w->m_glWidget->getOsgViewer();
    w->m_viewer = viewer;
    viewer->setCameraManipulator(w->m_manipulator.get());
    viewer->getCamera()->setProjectionMatrixAsPerspective(30.0, double(kViewWidth) / kViewHeight, 1.0, 1000.0);
    viewer->getCamera()->setNearFarRatio(1e-5);
    w->m_canvas = geo::ControlCanvas::getOrCreate(viewer);
    w->m_root->addChild(w->m_canvas.get());
    w->m_compass = new Compass(STATION_BIN_DIR "/data/compass.png", w->m_canvas.get());
    w->m_compass->setView(viewer);

    w->m_scaleBar = new ScaleBar(w->m_mapNode, viewer);
    osg::ref_ptr<geo::HBox> box = new geo::HBox;
    box->setHorizAlign(geo::Control::ALIGN_RIGHT);
    box->setVertAlign(geo::Control::ALIGN_TOP);
    box->setPadding(2);
    box->setChildSpacing(2);
    box->addControl(w->m_scaleBar->getLabel());
    box->addControl(w->m_scaleBar->getBar());
    // The box keeps to the height of its row: stretched down the whole
    // view it would cover the compass and the globe's right edge.
    box->setForeColor(osg::Vec4f(0, 0, 0, 0.8f));
    box->setBackColor(osg::Vec4f(1, 1, 1, 0.5f));
    w->m_canvas->addControl(box.get());
    w->m_root->addUpdateCallback(new ScaleBarHandler(w->m_scaleBar.get()));
    viewer->setSceneData(w->m_root.get());
    return viewer;
}

QPoint CameraFootprintTest::pixelOf(const geo::GeoPoint &point) const
{
    osg::Vec3d world;
    point.toWorld(world);
    const osg::Camera *camera = m_widget->m_viewer->getCamera();
    const osg::Vec3d window = world * camera->getViewMatrix() * camera->getProjectionMatrix()
                              * camera->getViewport()->computeWindowMatrix();
    // Window rows count from the bottom, image rows from the top.
    return QPoint(int(window.x()), kViewHeight - 1 - int(window.y()));
}

void CameraFootprintTest::globeShowsFootprintCompassAndScaleBar()
{
    osgViewer::Viewer *viewer = showWithOverlays();
    QVERIFY(viewer != nullptr);
    // Straight down from 10 km, turned to a heading of 30 degrees.
    m_widget->m_manipulator->setViewpoint(geo::Viewpoint("", 114.0, 22.5, 0.0, 30.0, -90.0, 1.0e4));

    // A 2 km sector opened 60 degrees to the north, its target 1.5 km north.
    const geo::GeoPoint target = awayFrom(114.0, 22.5, 0.0, 1500.0);
    m_widget->autoGoToPosition(0, 29.5, target.x(), target.y(), 114.0, 22.5, 120, 0, 0, 0, 60, 0, 0, 0, 0);
    m_widget->m_glWidget->grabFramebuffer();
    const QImage image = m_widget->m_glWidget->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const QString folder = QStringLiteral(STATION_BIN_DIR "/../test-output");
    QDir().mkpath(folder);
    QVERIFY(image.save(folder + "/globe-footprint-overlays.png"));
    QCOMPARE(image.size(), QSize(kViewWidth, kViewHeight));

    // The sector: cyan inside its arc, not behind the drone or beside it.
    auto around = [this](const geo::GeoPoint &point) { return QRect(pixelOf(point) - QPoint(3, 3), QSize(7, 7)); };
    QCOMPARE(count(image, around(awayFrom(114.0, 22.5, 0.0, 1000.0)), cyanish), 49);
    QCOMPARE(count(image, around(awayFrom(114.0, 22.5, 20.0, 1800.0)), cyanish), 49);
    QCOMPARE(count(image, around(awayFrom(114.0, 22.5, 180.0, 1000.0)), cyanish), 0);
    QCOMPARE(count(image, around(awayFrom(114.0, 22.5, 90.0, 1000.0)), cyanish), 0);
    // The target's pin stands over its point.
    const QPoint pin = pixelOf(target);
    QVERIFY(count(image, QRect(pin - QPoint(30, 60), QSize(61, 61)), pinRed) > 50);

    // The compass rose fills the top right corner; its pointer is red.
    const QRect rose = canvasRect(*m_widget->m_canvas->controls().at(0));
    QCOMPARE(rose, QRect(kViewWidth - 128, 0, 128, 128));
    QVERIFY(count(image, rose.adjusted(0, 30, 0, 0), roseSlate) > 5000);
    // The pointer hangs under the rose, left of its middle.
    const QRect pointer = contentOf(*m_widget->m_canvas->controls().at(2));
    QVERIFY(pointer.right() < kViewWidth - 64 && pointer.top() >= 126);
    QVERIFY(count(image, pointer, pinRed) > 5);
    QCOMPARE(m_widget->m_canvas->controls().at(1)->getName(), std::string("Compass Readout"));
    QCOMPARE(dynamic_cast<geo::LabelControl &>(*m_widget->m_canvas->controls().at(1)).text(),
             std::string("30.00"));

    // The scale bar in the same corner: 150 pixels of an 800 pixel view are
    // 2 * 10 km * tan(15 degrees) / 600 * 150 = 1340 m, shown as 1 km; the
    // bar is 1000 m / 8.93 m = 112 pixels wide, a light box with black text
    // and border.
    QCOMPARE(m_widget->m_scaleBar->getLabel()->text(), std::string("1 km"));
    const QRect bar = canvasRect(*m_widget->m_scaleBar->getBar());
    QVERIFY2(std::abs(bar.width() - 112) <= 1, qPrintable(QString::number(bar.width())));
    const QRect box = canvasRect(*m_widget->m_canvas->controls().at(3));
    QVERIFY(std::abs(box.right() - (kViewWidth - 1)) <= 1 && box.top() == 0);
    QVERIFY(count(image, bar, light) > bar.width() * bar.height() / 2);
    QVERIFY(count(image, canvasRect(*m_widget->m_scaleBar->getLabel()), nearBlack) > 20);

    // A negative field of view is refused: the sector keeps its 60 degrees
    // instead of opening round the rest of the circle behind the drone.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^camera footprint: "));
    m_widget->autoGoToPosition(0, 29.5, target.x(), target.y(), 114.0, 22.5, 120, 0, 0, 0, -60, 0, 0, 0, 0);
    const QImage refused = m_widget->m_glWidget->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    refused.save(folder + "/globe-footprint-negative-field.png");
    QCOMPARE(count(refused, around(awayFrom(114.0, 22.5, 0.0, 1000.0)), cyanish), 49);
    QCOMPARE(count(refused, around(awayFrom(114.0, 22.5, 180.0, 1000.0)), cyanish), 0);

    // A field of view of a whole turn or more fills the whole circle.
    m_widget->autoGoToPosition(0, 29.5, target.x(), target.y(), 114.0, 22.5, 120, 0, 0, 0, 400, 0, 0, 0, 0);
    const QImage round = m_widget->m_glWidget->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    round.save(folder + "/globe-footprint-round.png");
    for (double bearing : {0.0, 90.0, 180.0, 270.0})
        QVERIFY2(count(round, around(awayFrom(114.0, 22.5, bearing, 1000.0)), cyanish) == 49,
                 qPrintable(QString("no footprint at bearing %1").arg(bearing)));
}

QTEST_MAIN(CameraFootprintTest)
#include "tst_camerafootprint.moc"
