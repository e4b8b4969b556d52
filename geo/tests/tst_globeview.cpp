// The globe as a person sees it and points at it: rendered in the GL widget
// under a virtual display, checked by its pixels and by picks.

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <osg/Geode>
#include <osg/ShapeDrawable>
#include <osgDB/ReadFile>
#include <osgUtil/LineSegmentIntersector>

#include "OsgViewerWidget.h"
#include "geo/EarthManipulator.h"
#include "geo/MapNode.h"
#include "geo/SkyNode.h"
#include "platform/ResidentMemory.h"

using namespace geo;

namespace {

const SpatialReference *wgs84()
{
    return SpatialReference::wgs84Geographic();
}

osg::Vec3d worldOf(double lon, double lat, double height = 0.0)
{
    osg::Vec3d world;
    wgs84()->transformToWorld(osg::Vec3d(lon, lat, height), world);
    return world;
}

QString outputFolder()
{
    const QString folder = QStringLiteral(STATION_BIN_DIR "/../test-output");
    QDir().mkpath(folder);
    return folder;
}

int brightness(QRgb pixel)
{
    return qRed(pixel) + qGreen(pixel) + qBlue(pixel);
}

// What any view may hold above the whole globe seen from far out. The
// address checker keeps up to 256 MiB of freed memory aside to catch late
// uses, which counts here as held.
#ifdef __SANITIZE_ADDRESS__
const double kAllowedGrowthMegabytes = 200.0 + 256.0;
#else
const double kAllowedGrowthMegabytes = 200.0;
#endif

} // namespace

class GlobeViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void farViewShowsEarthInSpace_data();
    void farViewShowsEarthInSpace();
    void nightSideIsDarkerThanDaySide();
    void picksFindTheGroundUnderAPixel_data();
    void picksFindTheGroundUnderAPixel();
    void pickIntoSpaceFindsNothing();
    void everyViewStaysWithinMemory_data();
    void everyViewStaysWithinMemory();
    void flyingAwayDropsWhatAViewBuilt();

private:
    void look(const Viewpoint &viewpoint);
    QImage render();
    QPointF windowPositionOf(const osg::Vec3d &world) const;
    QRgb pixelAt(const QImage &image, const QPointF &windowPosition) const;

    OsgViewerWidget *m_widget = nullptr;
    osg::ref_ptr<MapNode> m_mapNode;
    osg::ref_ptr<EarthManipulator> m_manipulator;
    osg::ref_ptr<SkyNode> m_sky;
    osg::ref_ptr<osg::Geode> m_marker;
    double m_wholeGlobeMegabytes = 0.0;
    unsigned m_wholeGlobeTiles = 0;
};

void GlobeViewTest::initTestCase()
{
    osg::ref_ptr<osg::Node> earth = osgDB::readNodeFile(STATION_TEST_DATA_DIR "/world.earth");
    m_mapNode = MapNode::findMapNode(earth.get());
    QVERIFY(m_mapNode.valid());

    m_widget = new OsgViewerWidget;
    m_widget->resize(640, 400);
    QSignalSpy initialized(m_widget, &OsgViewerWidget::initialized);
    m_widget->show();
    QVERIFY(initialized.count() == 1 || initialized.wait(10000));

    osgViewer::Viewer *viewer = m_widget->getOsgViewer();
    osg::ref_ptr<osg::Group> root = new osg::Group;
    root->addChild(earth.get());
    m_sky = SkyNode::create(m_mapNode.get());
    m_sky->setDateTime(DateTime(2022, 4, 5, 5.0));
    m_sky->attach(viewer, 2);
    root->addChild(m_sky.get());
    viewer->getCamera()->setProjectionMatrixAsPerspective(30.0, 640.0 / 400.0, 1.0, 1000.0);
    viewer->getCamera()->setNearFarRatio(1e-5);
    viewer->setSceneData(root.get());
    m_manipulator = new EarthManipulator;
    m_manipulator->getSettings()->setMinMaxDistance(500.0, 4e7);
    viewer->setCameraManipulator(m_manipulator.get());

    // Something standing on the ground that a ground pick must look past.
    m_marker = new osg::Geode;
    m_marker->addDrawable(new osg::ShapeDrawable(new osg::Sphere(worldOf(113.91088, 22.543854, 50.0), 100.0f)));
    m_mapNode->addChild(m_marker.get());

    look(Viewpoint("", 116.531584, 40.13731, 0.0, 0.0, -90.0, 4e7));
    render();
    m_wholeGlobeMegabytes = platform::residentMegabytes();
    m_wholeGlobeTiles = m_mapNode->getGlobe()->heldTiles();
}

void GlobeViewTest::cleanupTestCase()
{
    delete m_widget;
}

void GlobeViewTest::look(const Viewpoint &viewpoint)
{
    m_manipulator->setViewpoint(viewpoint);
}

QImage GlobeViewTest::render()
{
    // The first frame splits the tiles the camera is close to; the second
    // draws what the first decided.
    m_widget->grabFramebuffer();
    return m_widget->grabFramebuffer();
}

QPointF GlobeViewTest::windowPositionOf(const osg::Vec3d &world) const
{
    const osg::Camera *camera = m_widget->getOsgViewer()->getCamera();
    const osg::Vec3d window = world * camera->getViewMatrix() * camera->getProjectionMatrix()
                              * camera->getViewport()->computeWindowMatrix();
    return QPointF(window.x(), window.y());
}

QRgb GlobeViewTest::pixelAt(const QImage &image, const QPointF &windowPosition) const
{
    // Window coordinates count rows from the bottom, images from the top.
    return image.pixel(int(windowPosition.x()), image.height() - 1 - int(windowPosition.y()));
}

void GlobeViewTest::farViewShowsEarthInSpace_data()
{
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("lat");
    QTest::addColumn<QString>("surface");

    QTest::newRow("Pacific east of Japan") << 155.0 << 30.0 << "sea";
    QTest::newRow("South China Sea") << 114.0 << 14.0 << "sea";
    QTest::newRow("Gobi desert") << 104.0 << 42.5 << "land";
    QTest::newRow("Tibetan plateau") << 88.0 << 33.0 << "land";
}

void GlobeViewTest::farViewShowsEarthInSpace()
{
    QFETCH(double, lon);
    QFETCH(double, lat);
    QFETCH(QString, surface);

    look(Viewpoint("", 116.531584, 40.13731, 0.0, 0.0, -90.0, 4e7));
    const QImage image = render();
    QVERIFY(image.save(outputFolder() + "/globe-far.png"));

    const QRgb pixel = pixelAt(image, windowPositionOf(worldOf(lon, lat)));
    if (surface == "sea") {
        QVERIFY2(qBlue(pixel) > qRed(pixel) + 20 && qBlue(pixel) > qGreen(pixel),
                 qPrintable(QColor(pixel).name()));
    } else {
        QVERIFY2(qRed(pixel) >= qBlue(pixel) && brightness(pixel) > 150, qPrintable(QColor(pixel).name()));
    }
    for (const QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
                                QPoint(image.width() - 1, image.height() - 1)}) {
        QVERIFY2(brightness(image.pixel(corner)) < 30, "space is dark");
    }
}

void GlobeViewTest::nightSideIsDarkerThanDaySide()
{
    // At 05:00 UTC the sun stands over south-east Asia: the western Pacific
    // has its afternoon, the mid-Atlantic is before dawn. Both are open sea,
    // so only the light differs.
    const auto centreBrightness = [this](double lon, double lat) {
        look(Viewpoint("", lon, lat, 0.0, 0.0, -90.0, 2e7));
        const QImage image = render();
        image.save(outputFolder() + QStringLiteral("/globe-%1.png").arg(lon));
        int sum = 0;
        for (int dy = -10; dy <= 10; dy += 5)
            for (int dx = -10; dx <= 10; dx += 5)
                sum += brightness(image.pixel(image.width() / 2 + dx, image.height() / 2 + dy));
        return sum;
    };
    const int day = centreBrightness(150.0, 5.0);
    const int night = centreBrightness(-35.0, 10.0);
    QVERIFY2(night * 2 < day, qPrintable(QStringLiteral("night %1, day %2").arg(night).arg(day)));
    QVERIFY2(night > 0, "the night side is dim, not gone");
}

void GlobeViewTest::picksFindTheGroundUnderAPixel_data()
{
    QTest::addColumn<double>("heading");
    QTest::addColumn<double>("pitch");
    QTest::addColumn<double>("range");
    QTest::addColumn<double>("east");  // metres from the focal point
    QTest::addColumn<double>("north");

    QTest::newRow("straight down, focal point") << 0.0 << -90.0 << 2000.0 << 0.0 << 0.0;
    QTest::newRow("straight down, off centre") << 0.0 << -90.0 << 2000.0 << 300.0 << -200.0;
    QTest::newRow("tilted, ahead") << 30.0 << -45.0 << 3000.0 << 400.0 << 900.0;
    QTest::newRow("tilted, behind and aside") << 200.0 << -60.0 << 5000.0 << -800.0 << 500.0;
    QTest::newRow("low, far ahead") << 90.0 << -20.0 << 4000.0 << 2500.0 << 100.0;
}

void GlobeViewTest::picksFindTheGroundUnderAPixel()
{
    QFETCH(double, heading);
    QFETCH(double, pitch);
    QFETCH(double, range);
    QFETCH(double, east);
    QFETCH(double, north);

    // Just beside the marker, so a pick that stopped at it would fail.
    const double lon = 113.91088, lat = 22.543854 + 0.01;
    look(Viewpoint("", lon, lat, 0.0, heading, pitch, range));
    render().save(outputFolder() + QStringLiteral("/globe-close-%1.png").arg(QTest::currentDataTag()).replace(' ', '-'));

    osg::Matrixd frame;
    wgs84()->createLocalToWorld(osg::Vec3d(lon, lat, 0.0), frame);
    osg::Vec3d target = osg::Vec3d(east, north, 0.0) * frame;
    osg::Vec3d onGround;
    wgs84()->transformFromWorld(target, onGround);
    onGround.z() = 0.0;
    wgs84()->transformToWorld(onGround, target);
    const QPointF pixel = windowPositionOf(target);
    QVERIFY(QRectF(0, 0, 640, 400).contains(pixel));

    osgViewer::Viewer *viewer = m_widget->getOsgViewer();
    osg::Vec3d picked;
    QVERIFY(m_mapNode->getTerrain()->getWorldCoordsUnderMouse(viewer, pixel.x(), pixel.y(), picked));
    QVERIFY2((picked - target).length() < 1.0, qPrintable(QString::number((picked - target).length())));

    // What the viewer does with the map node: intersect the drawn globe.
    osgUtil::LineSegmentIntersector::Intersections hits;
    osg::NodePath path{m_mapNode->getGlobe()};
    QVERIFY(viewer->computeIntersections(pixel.x(), pixel.y(), path, hits));
    const osg::Vec3d drawn = hits.begin()->getWorldIntersectPoint();
    QVERIFY2((drawn - target).length() < 1.0, qPrintable(QString::number((drawn - target).length())));
}

void GlobeViewTest::pickIntoSpaceFindsNothing()
{
    look(Viewpoint("", 0.0, 0.0, 0.0, 0.0, -90.0, 4e7));
    render();
    osg::Vec3d picked;
    QVERIFY(!m_mapNode->getTerrain()->getWorldCoordsUnderMouse(m_widget->getOsgViewer(), 2.0f, 2.0f, picked));
    QVERIFY(m_mapNode->getTerrain()->getWorldCoordsUnderMouse(m_widget->getOsgViewer(), 320.0f, 200.0f, picked));
}

void GlobeViewTest::everyViewStaysWithinMemory_data()
{
    QTest::addColumn<double>("lon");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("heading");
    QTest::addColumn<double>("pitch");
    QTest::addColumn<double>("range");

    QTest::newRow("north pole, straight down") << 15.6 << 89.99 << 0.0 << -90.0 << 2000.0;
    QTest::newRow("north pole, wheeled in, tilted") << 15.6 << 89.999 << 180.0 << -30.0 << 500.0;
    QTest::newRow("near the south pole, tilted") << -60.0 << -89.9 << 20.0 << -15.0 << 2000.0;
    QTest::newRow("antimeridian, tilted") << 180.0 << -17.0 << 90.0 << -30.0 << 2000.0;
    QTest::newRow("ground level, to the horizon") << 113.91088 << 22.543854 << 45.0 << -5.0 << 500.0;
}

void GlobeViewTest::everyViewStaysWithinMemory()
{
    QFETCH(double, lon);
    QFETCH(double, lat);
    QFETCH(double, heading);
    QFETCH(double, pitch);
    QFETCH(double, range);

    look(Viewpoint("", lon, lat, 0.0, heading, pitch, range));
    render().save(outputFolder() + QStringLiteral("/globe-bounded-%1.png").arg(QTest::currentDataTag()).replace(' ', '-'));
    const double growth = platform::residentMegabytes() - m_wholeGlobeMegabytes;
    QVERIFY2(growth < kAllowedGrowthMegabytes, qPrintable(QStringLiteral("%1 MB more").arg(growth)));

    // Nothing in view was left out or left coarse to stay within bounds.
    osgViewer::Viewer *viewer = m_widget->getOsgViewer();
    osg::Vec3d ground;
    QVERIFY(m_mapNode->getTerrain()->getWorldCoordsUnderMouse(viewer, 320.0f, 10.0f, ground));
    osgUtil::LineSegmentIntersector::Intersections hits;
    osg::NodePath path{m_mapNode->getGlobe()};
    QVERIFY(viewer->computeIntersections(320.0f, 10.0f, path, hits));
    const double miss = (hits.begin()->getWorldIntersectPoint() - ground).length();
    QVERIFY2(miss < 1.0, qPrintable(QString::number(miss)));
}

void GlobeViewTest::flyingAwayDropsWhatAViewBuilt()
{
    look(Viewpoint("", 15.6, 89.99, 0.0, 0.0, -90.0, 2000.0));
    render();
    QVERIFY(m_mapNode->getGlobe()->heldTiles() > m_wholeGlobeTiles);
    // Far out over the southern hemisphere the pole's tiles lie below the
    // horizon, where no frame visits them.
    look(Viewpoint("", 0.0, -60.0, 0.0, 0.0, -90.0, 4e7));
    for (int frame = 0; frame < 2000 && m_mapNode->getGlobe()->heldTiles() > m_wholeGlobeTiles; ++frame)
        m_widget->grabFramebuffer();
    QCOMPARE(m_mapNode->getGlobe()->heldTiles(), m_wholeGlobeTiles);
    const double growth = platform::residentMegabytes() - m_wholeGlobeMegabytes;
    QVERIFY2(growth < kAllowedGrowthMegabytes, qPrintable(QStringLiteral("%1 MB more").arg(growth)));
}

QTEST_MAIN(GlobeViewTest)
#include "tst_globeview.moc"
