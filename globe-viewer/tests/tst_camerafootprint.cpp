#include <QtTest>


#include <cmath>

#include "GeoviewMapWidget.h"
#include "OsgViewerWidget.h"
#include "geo/Frame.h"
#include "geo/GeoMath.h"
#include "geo/HBox.h"

#include "PixelCount.h"
#include "SceneSearch.h"

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

template<class T>
T *childOfType(osg::Group *group)
{
    for (unsigned i = 0; i < group->getNumChildren(); ++i) {
        if (auto *child = dynamic_cast<T *>(group->getChild(i)))
            return child;
    }
    return nullptr;
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
    void draw(const Record &r);
    OsgViewerWidget *gl() const { return m_widget->findChild<OsgViewerWidget *>(); }
    osgViewer::Viewer *viewer() const { return gl()->getOsgViewer(); }
    geo::MapNode *mapNode() const { return geo::MapNode::findMapNode(viewer()->getSceneData()); }
    // The footprint's parts on the map: the sector, its editor, the target's mark.
    geo::CircleNode *sector() const { return childOfType<geo::CircleNode>(mapNode()); }
    geo::PlaceNode *targetMark() const { return childOfType<geo::PlaceNode>(mapNode()); }
    // The canvas control called `name`.
    geo::Control *control(const std::string &name) const;
    QPoint pixelOf(const geo::GeoPoint &point) const;

    GeoviewMapWidget *m_widget = nullptr;
    QTemporaryDir m_workingDir;
};

void CameraFootprintTest::init()
{
    QVERIFY(QDir::setCurrent(m_workingDir.path()));
    m_widget = new GeoviewMapWidget(nullptr);
    QSignalSpy initialized(gl(), &OsgViewerWidget::initialized);
    m_widget->resize(kViewWidth, kViewHeight);
    m_widget->show();
    QVERIFY(!initialized.isEmpty() || initialized.wait(10000));
    QVERIFY(mapNode() != nullptr);
}

void CameraFootprintTest::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
}

geo::Control *CameraFootprintTest::control(const std::string &name) const
{
    for (const auto &control : geo::ControlCanvas::getOrCreate(viewer())->controls()) {
        if (control->getName() == name)
            return control.get();
    }
    return nullptr;
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
    QCOMPARE(targetMark()->getPosition().y(), Record().targetLat);
    // Nor did the refused zoom reach the radius that the next one keeps.
    draw(Record{29.0});
    QCOMPARE(sector()->getRadius().as(geo::Units::KILOMETERS), 0.3);
}

void CameraFootprintTest::eachMessageReplacesSectorAndEditor()
{
    osg::Group *mapNode = this->mapNode();
    const unsigned before = mapNode->getNumChildren();
    QCOMPARE(childrenOfType<geo::PlaceNode>(mapNode), 0);

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
    QCOMPARE(childOfType<geo::CircleNodeEditor>(mapNode)->getCircle(), sector());

    // The sector sits on the drone, the mark on the target.
    QCOMPARE(sector()->getCenter().x(), 114.2);
    QCOMPARE(sector()->getCenter().y(), 22.3);
    QCOMPARE(sector()->getCenter().z(), 1.0);
    QCOMPARE(sector()->getCenter().altitudeMode(), geo::ALTMODE_RELATIVE);
    QCOMPARE(targetMark()->getPosition().x(), 114.25);
    QCOMPARE(targetMark()->getPosition().y(), 22.35);
    QVERIFY(m_widget->updatesEnabled());
}

void CameraFootprintTest::onlyUpdatesWithATargetDrawIt()
{
    // The drone's own position alone moves no footprint.
    m_widget->autoGoToPosition(0, 18, 0, 22.51, 114.0, 22.5, 120, 0, 0, 0, 60, 0, 0, 0, 0);
    QVERIFY(sector() == nullptr);

    // A target given, even without a drone longitude, draws it.
    m_widget->autoGoToPosition(0, 18, 114.01, 22.51, 0, 0, 0, 0, 40, 0, 60, 0, 0, 0, 0);
    QVERIFY(sector() != nullptr);
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

    const GeoviewMapWidget::EarthNodes earth = m_widget->loadEarthFile(earthFile);
    m_widget->installMapNode(earth);
    draw(Record());
    QCOMPARE(firstUnder<geo::CircleNode>(earth.first.get()), nullptr);
    QCOMPARE(firstUnder<geo::PlaceNode>(earth.first.get()), nullptr);
}

QPoint CameraFootprintTest::pixelOf(const geo::GeoPoint &point) const
{
    osg::Vec3d world;
    point.toWorld(world);
    const osg::Camera *camera = viewer()->getCamera();
    const osg::Vec3d window = world * camera->getViewMatrix() * camera->getProjectionMatrix()
                              * camera->getViewport()->computeWindowMatrix();
    // Window rows count from the bottom, image rows from the top.
    return QPoint(int(window.x()), kViewHeight - 1 - int(window.y()));
}

void CameraFootprintTest::globeShowsFootprintCompassAndScaleBar()
{
    // Straight down from 10 km, turned to a heading of 30 degrees.
    static_cast<geo::EarthManipulator *>(viewer()->getCameraManipulator())->setViewpoint(geo::Viewpoint("", 114.0, 22.5, 0.0, 30.0, -90.0, 1.0e4));

    // A 2 km sector opened 60 degrees to the north, its target 1.5 km north.
    const geo::GeoPoint target = awayFrom(114.0, 22.5, 0.0, 1500.0);
    m_widget->autoGoToPosition(0, 29.5, target.x(), target.y(), 114.0, 22.5, 120, 0, 0, 0, 60, 0, 0, 0, 0);
    gl()->grabFramebuffer();
    const QImage image = gl()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
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
    QVERIFY(control("Compass Image") && control("Compass Readout") && control("Compass Pointer"));
    const QRect rose = canvasRect(*control("Compass Image"));
    QCOMPARE(rose, QRect(kViewWidth - 128, 0, 128, 128));
    QVERIFY(count(image, rose.adjusted(0, 30, 0, 0), roseSlate) > 5000);
    // The pointer hangs under the rose, left of its middle.
    const QRect pointer = contentOf(*control("Compass Pointer"));
    QVERIFY(pointer.right() < kViewWidth - 64 && pointer.top() >= 126);
    QVERIFY(count(image, pointer, pinRed) > 5);
    QCOMPARE(dynamic_cast<geo::LabelControl &>(*control("Compass Readout")).text(), std::string("30.00"));

    // The scale bar in the same corner: 150 pixels of an 800 pixel view are
    // 2 * 10 km * tan(15 degrees) / 600 * 150 = 1340 m, shown as 1 km; the
    // bar is 1000 m / 8.93 m = 112 pixels wide, a light box with black text
    // and border.
    geo::HBox *scaleBox = firstUnder<geo::HBox>(geo::ControlCanvas::getOrCreate(viewer()));
    QVERIFY(scaleBox != nullptr);
    const geo::LabelControl *scaleLabel = firstUnder<geo::LabelControl>(scaleBox);
    QCOMPARE(scaleLabel->text(), std::string("1 km"));
    const QRect bar = canvasRect(*firstUnder<geo::Frame>(scaleBox));
    QVERIFY2(std::abs(bar.width() - 112) <= 1, qPrintable(QString::number(bar.width())));
    const QRect box = canvasRect(*scaleBox);
    QVERIFY(std::abs(box.right() - (kViewWidth - 1)) <= 1 && box.top() == 0);
    // The box is half transparent and lies over the rose, whose dark disc
    // shows through the bar's middle: about 830 of its 1776 pixels stay light.
    QVERIFY(count(image, bar, light) > bar.width() * bar.height() / 3);
    QVERIFY(count(image, canvasRect(*scaleLabel), nearBlack) > 20);

    // A negative field of view is refused: the sector keeps its 60 degrees
    // instead of opening round the rest of the circle behind the drone.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^camera footprint: "));
    m_widget->autoGoToPosition(0, 29.5, target.x(), target.y(), 114.0, 22.5, 120, 0, 0, 0, -60, 0, 0, 0, 0);
    const QImage refused = gl()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    refused.save(folder + "/globe-footprint-negative-field.png");
    QCOMPARE(count(refused, around(awayFrom(114.0, 22.5, 0.0, 1000.0)), cyanish), 49);
    QCOMPARE(count(refused, around(awayFrom(114.0, 22.5, 180.0, 1000.0)), cyanish), 0);

    // A field of view of a whole turn or more fills the whole circle.
    m_widget->autoGoToPosition(0, 29.5, target.x(), target.y(), 114.0, 22.5, 120, 0, 0, 0, 400, 0, 0, 0, 0);
    const QImage round = gl()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    round.save(folder + "/globe-footprint-round.png");
    for (double bearing : {0.0, 90.0, 180.0, 270.0})
        QVERIFY2(count(round, around(awayFrom(114.0, 22.5, bearing, 1000.0)), cyanish) == 49,
                 qPrintable(QString("no footprint at bearing %1").arg(bearing)));
}

QTEST_MAIN(CameraFootprintTest)
#include "tst_camerafootprint.moc"
