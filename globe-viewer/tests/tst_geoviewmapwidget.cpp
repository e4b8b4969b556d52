#include <QtTest>

#include <osg/NodeVisitor>
#include <osgGA/GUIEventAdapter>

#include <algorithm>
#include <cmath>

#include "GeoviewMapState.h"
#include "GeoviewMapWidget.h"
#include "OsgViewerWidget.h"
#include "geo/SpatialReference.h"
#include "platform/CommonDataFolder.h"

Q_DECLARE_METATYPE(osg::Vec3d)
Q_DECLARE_METATYPE(QVector<osg::Vec3d>)
Q_DECLARE_METATYPE(QVector<osg::Vec4f>)

namespace {

const QString earthFile = QStringLiteral(STATION_BIN_DIR "/data/arcgis.earth");
const QString notAnEarthFile = QStringLiteral(STATION_TEST_DATA_DIR "/not-an-earth-file.earth");

// One degree along the WGS84 equator (equatorial radius 6378137 m):
// 6378137 * pi / 180; and the published WGS84 length of a degree of
// latitude at the equator, a meridian's radius there being a(1 - e^2).
constexpr double kEquatorDegree = 111319.49079327357;
constexpr double kMeridianDegreeAtEquator = 110574.389;

// Path keys turn degrees into radians in single precision, which moves
// them by up to a few metres on the earth's surface.
constexpr double kKeyPrecision = 3.0;

// The earth-centred position of a point on the WGS84 ellipsoid, and its
// east-north-up frame, computed here independently of the widget.
osg::Matrixd enuFrame(double lon, double lat, double height)
{
    osg::ref_ptr<osg::EllipsoidModel> wgs84 = new osg::EllipsoidModel(6378137.0, 6356752.3142);
    osg::Matrixd frame;
    wgs84->computeLocalToWorldTransformFromLatLongHeight(osg::DegreesToRadians(lat),
                                                         osg::DegreesToRadians(lon), height, frame);
    return frame;
}

bool sameRotation(const osg::Quat &a, const osg::Quat &b)
{
    // q and -q are the same rotation.
    const double dot = std::fabs(a.x() * b.x() + a.y() * b.y() + a.z() * b.z() + a.w() * b.w());
    return std::fabs(dot - 1.0) < 1e-5;
}

osg::Quat headingRotation(double lon, double lat, double headingDeg)
{
    osg::Matrixd frame = enuFrame(lon, lat, 0.0);
    frame.preMultRotate(osg::Quat(osg::DegreesToRadians(-headingDeg), osg::Vec3d(0, 0, 1)));
    return frame.getRotate();
}

int warningCount = 0;
QStringList warnings;
QtMessageHandler previousHandler = nullptr;

void countWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg) {
        ++warningCount;
        warnings << text;
    }
    previousHandler(type, context, text);
}

// The earth file that the widget's set-up copies out once and then loads.
QString earthTarget() { return platform::commonDataFolder() + "/Geotiles/Geoview.earth"; }

// Every node of type T in a graph, in traversal order.
template <typename T>
std::vector<T *> nodesOf(osg::Node *graph)
{
    struct Finder : osg::NodeVisitor
    {
        Finder() : osg::NodeVisitor(TRAVERSE_ALL_CHILDREN) {}
        void apply(osg::Node &node) override
        {
            if (auto *found = dynamic_cast<T *>(&node))
                nodes.push_back(found);
            traverse(node);
        }
        std::vector<T *> nodes;
    } finder;
    graph->accept(finder);
    return finder.nodes;
}

} // namespace

class GeoviewMapWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headingKeys_data();
    void headingKeys();
    void placemarksAreNumbered();
    void manualRequestFliesAndReports();
    void droneUpdatesExtendThePath();
    void updatesWithoutAUsableLongitudeOnlyMoveTheDrone();
    void unusablePositionsAreRefused_data();
    void unusablePositionsAreRefused();
    void forcedLocationFliesOnceToTheDrone();
    void failedLoadKeepsTheMap();
    void withoutAMapOnlyWhatNeedsItIsSkipped();
    void routeLength_data();
    void routeLength();
    void headingKeyPlacement_data();
    void headingKeyPlacement();
    void growingRouteKeepsItsTravelTime();
    void airLinePathFacesAlongEachSegment();
    void circlePathClosesTheLoop_data();
    void circlePathClosesTheLoop();
    void airLineKeysFollowTheDrone();

private:
    // The widget with the scene that its GL initialisation builds.
    GeoviewMapWidget *sceneWidget();
    void frame(double time);
    // What the set-up gave the viewer: its manipulator and its scene.
    osgViewer::Viewer *viewer() const { return m_widget->findChild<OsgViewerWidget *>()->getOsgViewer(); }
    geo::EarthManipulator *manipulator() const
    {
        return dynamic_cast<geo::EarthManipulator *>(viewer()->getCameraManipulator());
    }
    osg::Group *scene() const { return viewer()->getSceneData()->asGroup(); }
    // The numbered placemarks in the scene, in the order they were dropped.
    std::vector<geo::PlaceNode *> placemarks() const;
    // What the last usable position message placed, for the follow camera.
    const osg::MatrixTransform *liveDrone() const;
    // The on-screen button that shows the image file `name`.
    geo::ImageControl *button(const QString &name) const;

    GeoviewMapWidget *m_widget = nullptr;
    QTemporaryDir m_workingDir;
};

void GeoviewMapWidgetTest::init()
{
    QVERIFY(QDir::setCurrent(m_workingDir.path()));
    // Each test is a fresh viewer start.
    GeoviewMapState::placemarkCounter = 0;
    GeoviewMapState::routePoints()->clear();
    GeoviewMapState::droneLongitude = GeoviewMapState::droneLatitude =
        GeoviewMapState::droneAltitude = 0.0;
    GeoviewMapState::measuringMode = false;
    GeoviewMapState::measuringToggle = true;
    GeoviewMapState::measureClickCount = 0;
    m_widget = new GeoviewMapWidget(nullptr);
}

void GeoviewMapWidgetTest::cleanup()
{
    delete m_widget;
    m_widget = nullptr;
    QFile::remove(earthTarget());
}

GeoviewMapWidget *GeoviewMapWidgetTest::sceneWidget()
{
    // The scene as the viewer builds it, once the GL context is up.
    auto *gl = m_widget->findChild<OsgViewerWidget *>();
    QSignalSpy initialized(gl, &OsgViewerWidget::initialized);
    m_widget->resize(800, 600);
    m_widget->show();
    if (initialized.isEmpty())
        initialized.wait(10000);
    // The set-up's flight out to the whole globe ends before a test begins,
    // whether or not a frame of the GL widget has started it yet.
    frame(1e9);
    frame(2e9);
    return m_widget;
}

std::vector<geo::PlaceNode *> GeoviewMapWidgetTest::placemarks() const
{
    std::vector<geo::PlaceNode *> found;
    for (unsigned int i = 0; i < scene()->getNumChildren(); ++i) {
        auto *place = dynamic_cast<geo::PlaceNode *>(scene()->getChild(i));
        if (place && place->getText().rfind("Geo Point ", 0) == 0)
            found.push_back(place);
    }
    return found;
}

const osg::MatrixTransform *GeoviewMapWidgetTest::liveDrone() const
{
    for (unsigned int i = 0; i < scene()->getNumChildren(); ++i) {
        if (scene()->getChild(i)->getName() == "live drone")
            return dynamic_cast<const osg::MatrixTransform *>(scene()->getChild(i));
    }
    return nullptr;
}

geo::ImageControl *GeoviewMapWidgetTest::button(const QString &name) const
{
    for (const auto &control : geo::ControlCanvas::getOrCreate(viewer())->controls()) {
        auto *image = dynamic_cast<geo::ImageControl *>(control.get());
        if (image && image->getImage()
            && QFileInfo(QString::fromStdString(image->getImage()->getFileName())).fileName() == name)
            return image;
    }
    return nullptr;
}

void GeoviewMapWidgetTest::frame(double time)
{
    osg::ref_ptr<osgGA::GUIEventAdapter> event = new osgGA::GUIEventAdapter;
    event->setEventType(osgGA::GUIEventAdapter::FRAME);
    event->setTime(time);
    manipulator()->handle(*event, *viewer());
}

void GeoviewMapWidgetTest::headingKeys_data()
{
    QTest::addColumn<double>("yaw");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("key");
    QTest::newRow("1") << 1.0 << true << 0;
    QTest::newRow("0") << 0.0 << true << 359;
    QTest::newRow("359.5") << 359.5 << true << 358;
    QTest::newRow("-400") << -400.0 << true << -41;
    QTest::newRow("720.9") << 720.9 << true << 359;
    QTest::newRow("1e300") << 1e300 << true << int(std::fmod(1e300 + 359.0, 360.0));
    QTest::newRow("NaN") << std::nan("") << false << 0;
    QTest::newRow("infinity") << HUGE_VAL << false << 0;
}

void GeoviewMapWidgetTest::headingKeys()
{
    QFETCH(double, yaw);
    QFETCH(bool, valid);
    QFETCH(int, key);
    int computed = 12345;
    QCOMPARE(GeoviewMapWidget::headingKeyOf(yaw, computed), valid);
    if (valid)
        QCOMPARE(computed, key);
}

void GeoviewMapWidgetTest::placemarksAreNumbered()
{
    GeoviewMapWidget *w = sceneWidget();
    w->manualGoToPosition(true, 113.9, 22.5, 0.0);
    w->manualGoToPosition(false, 114.1, 22.6, 0.0);
    const std::vector<geo::PlaceNode *> dropped = placemarks();
    QCOMPARE(dropped.size(), size_t(2));
    QCOMPARE(dropped[0]->getText(), std::string("Geo Point 0"));
    QCOMPARE(dropped[1]->getText(), std::string("Geo Point 1"));
    QCOMPARE(dropped[1]->getPosition().x(), 114.1);
    QCOMPARE(dropped[1]->getPosition().y(), 22.6);
    QCOMPARE(GeoviewMapState::placemarkCounter, 2);
}

void GeoviewMapWidgetTest::manualRequestFliesAndReports()
{
    GeoviewMapWidget *w = sceneWidget();
    QSignalSpy reported(w, &GeoviewMapWidget::manualViewPositionChanged);
    frame(100.0);
    w->manualGoToPosition(true, 113.91088, 22.543854, 35.5);

    QCOMPARE(reported.count(), 1);
    QVariantList expected{true, 0.0, 0.0, 0.0, 0.0, 113.91088, 22.543854, 35.5};
    for (int i = 0; i < 8; ++i)
        expected << 0.0;
    QCOMPARE(reported[0], expected);

    // A five-second flight of frame time.
    frame(100.0);
    frame(104.9);
    QVERIFY(manipulator()->isSettingViewpoint());
    frame(105.0);
    QVERIFY(!manipulator()->isSettingViewpoint());
    const geo::Viewpoint reached = manipulator()->getViewpoint();
    QCOMPARE(reached.range().as(geo::Units::METERS), 2000.0);
    QVERIFY(std::fabs(reached.focalPoint().x() - 113.91088) < 1e-9);
    QVERIFY(std::fabs(reached.focalPoint().y() - 22.543854) < 1e-9);
    QCOMPARE(reached.focalPoint().z(), 0.0);
    QCOMPARE(reached.heading().as(geo::Units::DEGREES), 0.0);
    // -100 asks for straight down or beyond; the camera stops at straight down.
    QCOMPARE(reached.pitch().as(geo::Units::DEGREES), -90.0);
}

void GeoviewMapWidgetTest::droneUpdatesExtendThePath()
{
    GeoviewMapWidget *w = sceneWidget();
    w->autoGoToPosition(0, 0, 0, 0, 113.9, 22.5, 100.0, 0, 0, 0, 0, 0, 1.0, 0, 0);
    QCOMPARE(GeoviewMapState::routePoints()->size(), 1u);
    QCOMPARE((*GeoviewMapState::routePoints())[0], osg::Vec4f(113.9f, 22.5f, 100.0f, 50.0f));
    QCOMPARE(w->flightPath()->getTimeControlPointMap().size(), size_t(1));

    // 100 m straight up at 50 m/s: the key lands two seconds on, at the
    // first point, turned to the heading key of yaw 91 (90 degrees).
    w->autoGoToPosition(0, 0, 0, 0, 113.9, 22.5, 200.0, 0, 0, 0, 0, 0, 91.0, 0, 0);
    const auto &keys = w->flightPath()->getTimeControlPointMap();
    QCOMPARE(keys.size(), size_t(2));
    const double time = keys.rbegin()->first;
    QVERIFY2(std::fabs(time - 2.0) < 1e-3, qPrintable(QString::number(time)));
    const osg::AnimationPath::ControlPoint &key = keys.rbegin()->second;
    QVERIFY((key.getPosition() - enuFrame(113.9, 22.5, 100.0).getTrans()).length() < kKeyPrecision);
    QVERIFY(sameRotation(key.getRotation(), headingRotation(113.9, 22.5, 90.0)));
    QCOMPARE(GeoviewMapState::droneAltitude, 200.0);
}

void GeoviewMapWidgetTest::updatesWithoutAUsableLongitudeOnlyMoveTheDrone()
{
    GeoviewMapWidget *w = sceneWidget();
    w->autoGoToPosition(0, 0, 0, 0, 0.0, 22.5, 150.0, 0, 0, 0, 0, 0, 10.0, 0, 0);
    QCOMPARE(GeoviewMapState::droneLatitude, 22.5);
    QCOMPARE(GeoviewMapState::droneAltitude, 150.0);
    QCOMPARE(GeoviewMapState::routePoints()->size(), 0u);
    QCOMPARE(w->flightPath()->getTimeControlPointMap().size(), size_t(1));
}

void GeoviewMapWidgetTest::unusablePositionsAreRefused_data()
{
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("alt");
    // Finite as double, infinite as the path's float.
    QTest::newRow("longitude 1e39") << 1e39 << 22.5 << 150.0;
    QTest::newRow("altitude 1e39") << 113.9 << 22.5 << 1e39;
    // Finite as float, but its square is not.
    QTest::newRow("altitude 1e20") << 113.9 << 22.5 << 1e20;
    // Days of flight to reach it at the path's speed.
    QTest::newRow("altitude 10000 km") << 113.9 << 22.5 << 1e7;
    QTest::newRow("altitude just above 100 km") << 113.9 << 22.5 << 100000.5;
    QTest::newRow("altitude below -500 m") << 113.9 << 22.5 << -500.5;
    QTest::newRow("latitude NaN") << 113.9 << qQNaN() << 150.0;
    QTest::newRow("altitude -infinity") << 113.9 << 22.5 << -qInf();
    QTest::newRow("longitude beyond 180") << 180.5 << 22.5 << 150.0;
    QTest::newRow("latitude beyond the pole") << 113.9 << -90.5 << 150.0;
}

void GeoviewMapWidgetTest::unusablePositionsAreRefused()
{
    QFETCH(double, lon);
    QFETCH(double, lat);
    QFETCH(double, alt);
    GeoviewMapWidget *w = sceneWidget();
    w->autoGoToPosition(0, 0, 0, 0, 113.9, 22.5, 100.0, 0, 0, 0, 0, 0, 1.0, 0, 0);
    QVERIFY(liveDrone() != nullptr);
    const osg::Matrixd drone = liveDrone()->getMatrix();

    // Asked for by hand, it is refused as well: no mark, no flight, and
    // nothing for the host.
    QSignalSpy reported(w, &GeoviewMapWidget::manualViewPositionChanged);
    warningCount = 0;
    previousHandler = qInstallMessageHandler(countWarnings);
    w->autoGoToPosition(0, 5.5, 113.91, 22.51, lon, lat, alt, 0, 0, 0, 60, 0, 1.0, 0, 0);
    const int autoWarnings = warningCount;
    w->manualGoToPosition(true, lon, lat, alt);
    qInstallMessageHandler(previousHandler);
    QCOMPARE(autoWarnings, 1);
    QCOMPARE(warningCount, 2);
    QCOMPARE(reported.count(), 0);
    QVERIFY(placemarks().empty());
    QVERIFY(!manipulator()->isSettingViewpoint());
    QCOMPARE(GeoviewMapState::routePoints()->size(), 1u);
    QCOMPARE(GeoviewMapState::droneLongitude, 113.9);
    QCOMPARE(GeoviewMapState::droneLatitude, 22.5);
    QCOMPARE(GeoviewMapState::droneAltitude, 100.0);
    QCOMPARE(liveDrone()->getMatrix(), drone);

    // The path goes on as if the refused position had never come: 100 m up
    // at 50 m/s is a key two seconds on.
    w->autoGoToPosition(0, 0, 0, 0, 113.9, 22.5, 200.0, 0, 0, 0, 0, 0, 1.0, 0, 0);
    const auto &keys = w->flightPath()->getTimeControlPointMap();
    QCOMPARE(keys.size(), size_t(2));
    QVERIFY2(std::fabs(keys.rbegin()->first - 2.0) < 0.03, qPrintable(QString::number(keys.rbegin()->first)));
}

void GeoviewMapWidgetTest::forcedLocationFliesOnceToTheDrone()
{
    GeoviewMapWidget *w = sceneWidget();
    QSignalSpy reported(w, &GeoviewMapWidget::manualViewPositionChanged);
    QSignalSpy forced(w, &GeoviewMapWidget::forceLocationChanged);
    QVERIFY(button("Optivane01_01.png") != nullptr);
    w->onControlClicked(button("Optivane01_01.png"), osg::Vec2f(), 1);
    QCOMPARE(forced.count(), 1);
    // A message without a usable longitude leaves the flight to the next one.
    w->autoGoToPosition(0, 0, 0, 0, 0.0, 22.5, 150.0, 0, 0, 0, 0, 0, 10.0, 0, 0);
    QVERIFY(!manipulator()->isSettingViewpoint());

    w->autoGoToPosition(0, 0, 0, 0, 113.9, 22.5, 150.0, 0, 0, 0, 0, 0, 10.0, 0, 0);
    QVERIFY(manipulator()->isSettingViewpoint());
    QCOMPARE(reported.count(), 0);

    frame(3e9);
    frame(3e9 + 10.0);
    QVERIFY(!manipulator()->isSettingViewpoint());
    w->autoGoToPosition(0, 0, 0, 0, 113.91, 22.51, 150.0, 0, 0, 0, 0, 0, 10.0, 0, 0);
    QVERIFY(!manipulator()->isSettingViewpoint());
}

void GeoviewMapWidgetTest::failedLoadKeepsTheMap()
{
    GeoviewMapWidget *w = sceneWidget();
    QStringList order;
    connect(w, &GeoviewMapWidget::earthFileLoadStarted, [&] { order << "started"; });
    connect(w, &GeoviewMapWidget::earthFileLoadFinished,
            [&](bool ok) { order << (ok ? "finished true" : "finished false"); });

    QVERIFY(w->syncLoadEarthFile(earthFile));
    const std::vector<geo::MapNode *> loaded = nodesOf<geo::MapNode>(scene());
    QCOMPARE(loaded.size(), size_t(1));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no map in the earth file"));
    QVERIFY(w->syncLoadEarthFile(notAnEarthFile));
    QCOMPARE(order, QStringList({"started", "finished true", "started", "finished false"}));
    QCOMPARE(nodesOf<geo::MapNode>(scene()), loaded);

    // A second good load replaces the first map instead of stacking it.
    QVERIFY(w->syncLoadEarthFile(earthFile));
    const std::vector<geo::MapNode *> reloaded = nodesOf<geo::MapNode>(scene());
    QCOMPARE(reloaded.size(), size_t(1));
    QVERIFY(reloaded[0] != loaded[0]);

    QSignalSpy started(w, &GeoviewMapWidget::earthFileLoadStarted);
    QVERIFY(w->asyncLoadEarthFile(earthFile));
    QCOMPARE(started.count(), 0);
}

void GeoviewMapWidgetTest::withoutAMapOnlyWhatNeedsItIsSkipped()
{
    // Before the scene is set up, and so before any map: the path's points
    // need only the ellipsoid.
    m_widget->autoGoToPosition(0, 0, 0, 0, 113.9, 22.5, 100.0, 0, 0, 0, 0, 0, 1.0, 0, 0);
    m_widget->autoGoToPosition(0, 0, 0, 0, 113.9, 22.5, 200.0, 0, 0, 0, 0, 0, 1.0, 0, 0);
    // The set-up loads the operator's copy of the earth file, which holds no map.
    QVERIFY(QDir().mkpath(QFileInfo(earthTarget()).absolutePath()));
    QVERIFY(QFile::copy(notAnEarthFile, earthTarget()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no map in the earth file"));
    warnings.clear();
    previousHandler = qInstallMessageHandler(countWarnings);
    GeoviewMapWidget *w = sceneWidget();
    QSignalSpy reported(w, &GeoviewMapWidget::manualViewPositionChanged);

    w->manualGoToPosition(true, 113.9, 22.5, 0.0);
    w->manualGoToPosition(true, 113.9, 22.5, 0.0);
    w->autoGoToPosition(0, 0, 114.0, 22.0, 113.9, 22.5, 300.0, 0, 0, 0, 0, 0, 1.0, 0, 0);
    // Measuring switched on: the release of that click, then two on the globe.
    w->onControlClicked(button("Optivane07_01.png"), osg::Vec2f(), 1);
    osg::ref_ptr<osgGA::GUIEventAdapter> click = new osgGA::GUIEventAdapter;
    click->setEventType(osgGA::GUIEventAdapter::RELEASE);
    click->setButton(osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON);
    click->setX(400);
    click->setY(300);
    for (int i = 0; i < 3; ++i)
        w->handleMapEvent(*click, *viewer());
    const double length = w->computeRouteLength(osg::Vec3d(1, 0, 0));
    qInstallMessageHandler(previousHandler);

    QVERIFY2(GeoviewMapState::measuringMode, "measuring did not switch on");
    // The reader's and the widget's line about the file, then one line for
    // everything that the missing map skips.
    QCOMPARE(warnings.filter("no map node").size(), 1);
    QCOMPARE(warnings.size(), 3);
    QCOMPARE(length, 0.0);
    // The host takes manual requests without a map; the marks need one.
    QCOMPARE(reported.count(), 2);
    QVERIFY(placemarks().empty());
    QCOMPARE(GeoviewMapState::placemarkCounter, 0);
    QVERIFY(nodesOf<geo::CircleNode>(scene()).empty());
    QCOMPARE(GeoviewMapState::droneLongitude, 113.9);
    // Three points 100 m apart at 50 m/s: keys at 0, 2 and 4 seconds.
    QCOMPARE(GeoviewMapState::routePoints()->size(), 3u);
    const auto &keys = w->flightPath()->getTimeControlPointMap();
    QCOMPARE(keys.size(), size_t(3));
    QVERIFY2(std::fabs(keys.rbegin()->first - 4.0) < 0.03, qPrintable(QString::number(keys.rbegin()->first)));
}

void GeoviewMapWidgetTest::routeLength_data()
{
    QTest::addColumn<QVector<osg::Vec3d>>("points");
    QTest::addColumn<osg::Vec3d>("pointer");
    QTest::addColumn<double>("metres");
    QTest::newRow("no points") << QVector<osg::Vec3d>{} << osg::Vec3d(1, 0, 0) << 0.0;
    QTest::newRow("one point") << QVector<osg::Vec3d>{{0, 0, 0}} << osg::Vec3d(1, 0, 0)
                               << kEquatorDegree;
    QTest::newRow("two points and the pointer")
        << QVector<osg::Vec3d>{{0, 0, 0}, {1, 0, 0}} << osg::Vec3d(2, 0, 500) << 2 * kEquatorDegree;
    // A sphere of the equator's radius reads this 0.67 % long.
    QTest::newRow("along a meridian across the equator")
        << QVector<osg::Vec3d>{{30, -1, 0}, {30, 0, 0}, {30, 1, 0}} << osg::Vec3d(30, 1, 0)
        << 2 * kMeridianDegreeAtEquator;
}

void GeoviewMapWidgetTest::routeLength()
{
    QFETCH(QVector<osg::Vec3d>, points);
    QFETCH(osg::Vec3d, pointer);
    QFETCH(double, metres);
    const double length =
        GeoviewMapWidget::measuredLength(std::vector<osg::Vec3d>(points.begin(), points.end()), pointer);
    QVERIFY2(std::fabs(length - metres) < 0.01, qPrintable(QString::number(length, 'f', 4)));
}

void GeoviewMapWidgetTest::headingKeyPlacement_data()
{
    QTest::addColumn<QVector<osg::Vec4f>>("points");
    QTest::addColumn<double>("heading");
    QTest::addColumn<double>("time");
    QTest::addColumn<double>("usedHeading");

    QTest::newRow("one point") << QVector<osg::Vec4f>{{113.9f, 22.5f, 100.0f, 50.0f}} << 30.0
                               << 0.0 << qQNaN();
    QTest::newRow("100 m at 50 m/s")
        << QVector<osg::Vec4f>{{113.9f, 22.5f, 100.0f, 50.0f}, {113.9f, 22.5f, 200.0f, 50.0f}}
        << 30.0 << 2.0 << 30.0;
    QTest::newRow("370 is 10")
        << QVector<osg::Vec4f>{{113.9f, 22.5f, 100.0f, 50.0f}, {113.9f, 22.5f, 200.0f, 50.0f}}
        << 370.0 << 2.0 << 10.0;
    QTest::newRow("later point's speed")
        << QVector<osg::Vec4f>{{113.9f, 22.5f, 0.0f, 50.0f}, {113.9f, 22.5f, 100.0f, 25.0f},
                               {113.9f, 22.5f, 300.0f, 100.0f}}
        << 0.0 << 6.0 << 0.0;
    // Earth-centred single-precision values lie half a metre apart here.
    QTest::newRow("30 cm at 50 m/s")
        << QVector<osg::Vec4f>{{113.9f, 22.5f, 100.0f, 50.0f}, {113.9f, 22.5f, 100.3f, 50.0f}}
        << 0.0 << 0.006 << 0.0;
    QTest::newRow("no speed") << QVector<osg::Vec4f>{{113.9f, 22.5f, 0.0f, 50.0f},
                                                     {113.9f, 22.5f, 100.0f, 0.0f}}
                              << 0.0 << 1e9 << 0.0;
}

void GeoviewMapWidgetTest::headingKeyPlacement()
{
    QFETCH(QVector<osg::Vec4f>, points);
    QFETCH(double, heading);
    QFETCH(double, time);
    QFETCH(double, usedHeading);
    // A route that came before the scene: the path starts with keys of its
    // own at 0 and 5 seconds, which a key at another time must not touch.
    GeoviewMapState::routePoints()->push_back(osg::Vec4f(113.9f, 22.5f, 150.0f, 50.0f));
    GeoviewMapState::routePoints()->push_back(osg::Vec4f(113.9f, 22.5f, 400.0f, 50.0f));
    GeoviewMapWidget *w = sceneWidget();
    osg::ref_ptr<osg::Vec4Array> list = new osg::Vec4Array(points.begin(), points.end());
    w->addHeadingKey(list.get(), heading);

    const auto &keys = w->flightPath()->getTimeControlPointMap();
    QCOMPARE(keys.size(), time > 0.0 ? size_t(3) : size_t(2));
    const auto added = std::min_element(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
        return std::fabs(a.first - time) < std::fabs(b.first - time);
    });
    QVERIFY2(std::fabs(added->first - time) < 1e-3 * std::max(1.0, time), qPrintable(QString::number(added->first)));
    const osg::AnimationPath::ControlPoint &key = added->second;
    if (qIsNaN(usedHeading)) {
        QCOMPARE(key.getPosition(), osg::Vec3d(0, 0, 0));
        QVERIFY(key.getRotation().zeroRotation());
        return;
    }
    const osg::Vec4f &secondLast = points[points.size() - 2];
    QVERIFY((key.getPosition() - enuFrame(secondLast.x(), secondLast.y(), secondLast.z()).getTrans())
                .length() < kKeyPrecision);
    QVERIFY(sameRotation(key.getRotation(), headingRotation(secondLast.x(), secondLast.y(), usedHeading)));
}

void GeoviewMapWidgetTest::growingRouteKeepsItsTravelTime()
{
    GeoviewMapWidget *w = sceneWidget();
    osg::Vec4Array *route = GeoviewMapState::routePoints();
    for (int i = 0; i < 300; ++i)
        w->autoGoToPosition(0, 0, 0, 0, 113.9 + 0.001 * std::cos(i * 0.1),
                            22.5 + 0.001 * std::sin(i * 0.1), 100.0 + i, 0, 0, 0, 0, 0, i, 0, 0);

    // The route walked whole, as a path built from it at once is.
    auto wholeWalk = [&] {
        osg::ref_ptr<osg::AnimationPath> whole = w->createAirLinePath(route);
        return whole->getTimeControlPointMap().rbegin()->first;
    };
    const auto &keys = w->flightPath()->getTimeControlPointMap();
    QCOMPARE(keys.rbegin()->first, wholeWalk());

    // An edited route is walked again.
    (*route)[10].z() += 500.0f;
    route->dirty();
    w->addHeadingKey(route, 0.0);
    QCOMPARE(keys.count(wholeWalk()), size_t(1));

    // So is one refilled with other points, even to the same length.
    const size_t length = route->size();
    route->clear();
    for (size_t i = 0; i < length; ++i)
        route->push_back(osg::Vec4f(114.0f, 22.0f, float(i * 2), 50.0f));
    w->addHeadingKey(route, 0.0);
    QCOMPARE(keys.count(wholeWalk()), size_t(1));
    // 2 m up per point at 50 m/s; single-precision world positions blur
    // each 2 m step by a fraction of a metre.
    QVERIFY(std::fabs(wholeWalk() - 2.0 * (length - 1) / 50.0) < 0.1);
}

void GeoviewMapWidgetTest::airLinePathFacesAlongEachSegment()
{
    GeoviewMapWidget *w = sceneWidget();
    osg::ref_ptr<osg::Vec4Array> vertical = new osg::Vec4Array;
    vertical->push_back(osg::Vec4f(113.9f, 22.5f, 100.0f, 50.0f));
    vertical->push_back(osg::Vec4f(113.9f, 22.5f, 200.0f, 50.0f));
    osg::ref_ptr<osg::AnimationPath> path = w->createAirLinePath(vertical.get());
    QCOMPARE(path->getLoopMode(), osg::AnimationPath::NO_LOOPING);
    const auto &keys = path->getTimeControlPointMap();
    QCOMPARE(keys.size(), size_t(2));
    QCOMPARE(keys.begin()->first, 0.0);
    QVERIFY(std::fabs(keys.rbegin()->first - 2.0) < 1e-3);
    QVERIFY((keys.rbegin()->second.getPosition() - enuFrame(113.9, 22.5, 200.0).getTrans()).length() < kKeyPrecision);

    // Same longitude: the segment faces a quarter turn round the vertical.
    osg::Matrixd expected = enuFrame(113.9, 22.5, 100.0);
    expected.preMultRotate(osg::Quat(0.0, osg::Vec3d(1, 0, 0), -1.5608 + osg::PI_2,
                                     osg::Vec3d(0, 1, 0), osg::PI_2, osg::Vec3d(0, 0, 1)));
    QVERIFY(sameRotation(keys.begin()->second.getRotation(), expected.getRotate()));

    osg::ref_ptr<osg::Vec4Array> noPoints = new osg::Vec4Array;
    osg::ref_ptr<osg::AnimationPath> empty = w->createAirLinePath(noPoints.get());
    QCOMPARE(empty->getTimeControlPointMap().size(), size_t(1));
    QCOMPARE(empty->getTimeControlPointMap().begin()->first, 0.0);
    QCOMPARE(empty->getTimeControlPointMap().begin()->second.getPosition(), osg::Vec3d(0, 0, 0));
}

void GeoviewMapWidgetTest::circlePathClosesTheLoop_data()
{
    QTest::addColumn<double>("latitude");
    QTest::newRow("tropic") << 22.5;
    QTest::newRow("60 north") << 60.0;
    QTest::newRow("pole") << 90.0;
}

void GeoviewMapWidgetTest::circlePathClosesTheLoop()
{
    QFETCH(double, latitude);
    GeoviewMapWidget *w = sceneWidget();
    const geo::SpatialReference *srs = geo::SpatialReference::wgs84Geographic();
    const geo::GeoPoint centre(srs, 113.9, latitude, 0.0);
    osg::ref_ptr<osg::AnimationPath> circle = w->createCirclePath(centre, srs, 300.0f, 40.0);

    QCOMPARE(circle->getLoopMode(), osg::AnimationPath::LOOP);
    const auto &keys = circle->getTimeControlPointMap();
    QCOMPARE(keys.size(), size_t(41));
    QCOMPARE(keys.rbegin()->first, 40.0);
    QCOMPARE(keys.begin()->second.getPosition(), keys.rbegin()->second.getPosition());
    QCOMPARE(keys.begin()->second.getRotation(), keys.rbegin()->second.getRotation());
    QCOMPARE(std::next(keys.begin())->first, 1.0);

    osg::Vec3d world;
    QVERIFY(centre.toWorld(world));
    osg::Vec3d up = world;
    up.normalize();
    for (const auto &key : keys) {
        const osg::Vec3d offset = key.second.getPosition() - world;
        QVERIFY2(std::fabs(offset.length() - 300.0) < 1e-3, qPrintable(QString::number(offset.length())));
        QVERIFY(std::fabs(offset * up) < 1e-3);
        QVERIFY(((key.second.getRotation() * osg::Vec3d(0, 0, 1)) - up).length() < 1e-6);
    }
}

void GeoviewMapWidgetTest::airLineKeysFollowTheDrone()
{
    GeoviewMapWidget *w = sceneWidget();
    const auto &keys = w->flightPath()->getTimeControlPointMap();
    const osg::Vec4f first(113.9f, 22.5f, 100.0f, 50.0f);
    w->updateAirLinePosition(first, 0.5);
    QCOMPARE(keys.size(), size_t(2));
    const double firstTime = keys.rbegin()->first;

    // The next key stands where the last update left the drone, a segment's
    // travel time on.
    w->updateAirLinePosition(osg::Vec4f(113.9f, 22.5f, 200.0f, 50.0f), 0.5);
    QCOMPARE(keys.size(), size_t(3));
    QVERIFY(std::fabs(keys.rbegin()->first - firstTime - 2.0) < 1e-3);
    QVERIFY((keys.rbegin()->second.getPosition() - enuFrame(113.9, 22.5, 100.0).getTrans()).length() < kKeyPrecision);
    // The yaw is taken as given, in radians.
    osg::Matrixd expected = enuFrame(113.9, 22.5, 100.0);
    expected.preMultRotate(osg::Quat(0.5, osg::Vec3d(0, 0, 1)));
    QVERIFY(sameRotation(keys.rbegin()->second.getRotation(), expected.getRotate()));
}

QTEST_MAIN(GeoviewMapWidgetTest)

#include "tst_geoviewmapwidget.moc"
