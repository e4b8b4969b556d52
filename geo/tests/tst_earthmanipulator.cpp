// The globe camera driven by hand-made frame events: flights over frame
// time, arcs, range and pitch bands, wheel and drags, tethering.

#include <QtTest>

#include <osg/Geode>
#include <osg/MatrixTransform>
#include <osg/ShapeDrawable>
#include <osgGA/EventQueue>

#include <cmath>

#include "geo/EarthManipulator.h"

using namespace geo;

namespace {

class ActionRecorder : public osgGA::GUIActionAdapter
{
public:
    void requestRedraw() override { ++redraws; }
    void requestContinuousUpdate(bool needed) override { continuous = needed; }
    void requestWarpPointer(float, float) override {}

    int redraws = 0;
    bool continuous = false;
};

osg::Vec3d worldOf(double lon, double lat, double height = 0.0)
{
    osg::Vec3d world;
    SpatialReference::wgs84Geographic()->transformToWorld(osg::Vec3d(lon, lat, height), world);
    return world;
}

// Ground distance between two viewpoints' focal points, metres.
double apart(const Viewpoint &a, const Viewpoint &b)
{
    return a.focalPoint().distanceTo(b.focalPoint());
}

} // namespace

class EarthManipulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void flightEndsExactlyOnTime_data();
    void flightEndsExactlyOnTime();
    void flightRisesOnAnArcWhenAsked_data();
    void flightRisesOnAnArcWhenAsked();
    void rangeStaysWithinBounds_data();
    void rangeStaysWithinBounds();
    void pitchStaysInItsBand_data();
    void pitchStaysInItsBand();
    void zoomScalesTheRange();
    void scrollFollowsItsBindings_data();
    void scrollFollowsItsBindings();
    void wheelZoomFollowsTheDelta_data();
    void wheelZoomFollowsTheDelta();
    void dragsPanRotateAndZoom();
    void rightDragKeepsTheRangePositive_data();
    void rightDragKeepsTheRangePositive();
    void cameraLooksAtTheFocalPoint_data();
    void cameraLooksAtTheFocalPoint();
    void tetherFollowsAMovingNode();
    void tetheredFlightLandsOnTheNode();
    void invalidViewpointIsIgnored();

private:
    bool event(osgGA::GUIEventAdapter *ea);
    bool frame(double time);

    osg::ref_ptr<EarthManipulator> m_manipulator;
    osg::ref_ptr<osgGA::EventQueue> m_queue;
    ActionRecorder m_actions;
};

void EarthManipulatorTest::init()
{
    m_manipulator = new EarthManipulator;
    m_manipulator->getSettings()->setMinMaxDistance(500.0, 4e7);
    m_queue = new osgGA::EventQueue;
    m_queue->setMouseInputRange(0.0f, 0.0f, 800.0f, 600.0f);
    // As the GL widget delivers them: y grows upwards.
    m_queue->getCurrentEventState()->setMouseYOrientation(osgGA::GUIEventAdapter::Y_INCREASING_UPWARDS);
    m_actions = ActionRecorder();
}

bool EarthManipulatorTest::event(osgGA::GUIEventAdapter *ea)
{
    osg::ref_ptr<osgGA::GUIEventAdapter> hold = ea;
    return m_manipulator->handle(*ea, m_actions);
}

bool EarthManipulatorTest::frame(double time)
{
    osg::ref_ptr<osgGA::GUIEventAdapter> ea = new osgGA::GUIEventAdapter;
    ea->setEventType(osgGA::GUIEventAdapter::FRAME);
    ea->setTime(time);
    return event(ea.get());
}

void EarthManipulatorTest::flightEndsExactlyOnTime_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("arc");
    QTest::addColumn<double>("fromLon");
    QTest::addColumn<double>("fromLat");
    QTest::addColumn<double>("toLon");
    QTest::addColumn<double>("toLat");

    QTest::newRow("5 s, the viewer's fly-to") << 5.0 << false << 116.531584 << 40.13731 << 113.91088 << 22.543854;
    QTest::newRow("5 s, arced") << 5.0 << true << 116.531584 << 40.13731 << 113.91088 << 22.543854;
    QTest::newRow("1 s, follow mode") << 1.0 << true << 116.531584 << 40.13731 << 113.91088 << 22.543854;
    QTest::newRow("a quarter second") << 0.25 << false << 116.531584 << 40.13731 << 113.91088 << 22.543854;
    QTest::newRow("to the opposite point") << 5.0 << true << 0.0 << 0.0 << 180.0 << 0.0;
    QTest::newRow("to the antipodes") << 5.0 << false << 116.531584 << 40.13731 << -63.468416 << -40.13731;
}

void EarthManipulatorTest::flightEndsExactlyOnTime()
{
    QFETCH(double, seconds);
    QFETCH(bool, arc);
    QFETCH(double, fromLon);
    QFETCH(double, fromLat);
    QFETCH(double, toLon);
    QFETCH(double, toLat);

    m_manipulator->getSettings()->setArcViewpointTransitions(arc);
    m_manipulator->setViewpoint(Viewpoint("", fromLon, fromLat, 0.0, 0.0, -90.0, 4e7));
    const Viewpoint start = m_manipulator->getViewpoint();
    const Viewpoint target("", toLon, toLat, 0.0, 30.0, -60.0, 2000.0);
    m_manipulator->setViewpoint(target, seconds);
    QVERIFY(m_manipulator->isSettingViewpoint());

    // The flight starts with the first frame after the request.
    const double t0 = 1000.0;
    frame(t0);
    QVERIFY(apart(m_manipulator->getViewpoint(), start) < 1e-6);
    QVERIFY(m_actions.continuous);

    frame(t0 + seconds / 2.0);
    const Viewpoint middle = m_manipulator->getViewpoint();
    QVERIFY(apart(middle, start) > 1000.0 && apart(middle, target) > 1000.0);
    // Half way is half the distance from either end.
    const double whole = apart(start, target);
    QVERIFY2(std::fabs(apart(middle, start) - whole / 2.0) < whole * 1e-6, qPrintable(QString::number(apart(middle, start))));
    QVERIFY(m_manipulator->getInverseMatrix().valid());

    frame(t0 + seconds * 0.999);
    QVERIFY(m_manipulator->isSettingViewpoint());
    QVERIFY(apart(m_manipulator->getViewpoint(), target) > 1e-3);

    frame(t0 + seconds);
    QVERIFY(!m_manipulator->isSettingViewpoint());
    const Viewpoint end = m_manipulator->getViewpoint();
    QVERIFY(apart(end, target) < 1e-6);
    QCOMPARE(end.range().as(Units::METERS), 2000.0);
    QCOMPARE(end.heading().as(Units::DEGREES), 30.0);
    QCOMPARE(end.pitch().as(Units::DEGREES), -60.0);

    frame(t0 + seconds + 1.0);
    QVERIFY(!m_actions.continuous);
}

void EarthManipulatorTest::flightRisesOnAnArcWhenAsked_data()
{
    QTest::addColumn<bool>("arc");
    QTest::newRow("arced") << true;
    QTest::newRow("level") << false;
}

void EarthManipulatorTest::flightRisesOnAnArcWhenAsked()
{
    QFETCH(bool, arc);

    // From Shenzhen to Beijing (about 1950 km) at a range of 2 km.
    m_manipulator->getSettings()->setArcViewpointTransitions(arc);
    m_manipulator->setViewpoint(Viewpoint("", 113.91088, 22.543854, 0.0, 0.0, -90.0, 2000.0));
    m_manipulator->setViewpoint(Viewpoint("", 116.531584, 40.13731, 0.0, 0.0, -90.0, 2000.0), 5.0);
    double highest = 0.0;
    for (double t = 0.0; t <= 5.0; t += 0.25) {
        frame(t);
        highest = std::max(highest, m_manipulator->getViewpoint().range().as(Units::METERS));
    }
    if (arc)
        QVERIFY2(highest > 500000.0, qPrintable(QString::number(highest)));
    else
        QVERIFY2(std::fabs(highest - 2000.0) < 1e-6, qPrintable(QString::number(highest)));
    QCOMPARE(m_manipulator->getViewpoint().range().as(Units::METERS), 2000.0);
}

void EarthManipulatorTest::rangeStaysWithinBounds_data()
{
    QTest::addColumn<double>("asked");
    QTest::addColumn<double>("kept");

    QTest::newRow("below the minimum") << 100.0 << 500.0;
    QTest::newRow("the minimum") << 500.0 << 500.0;
    QTest::newRow("in between") << 2000.0 << 2000.0;
    QTest::newRow("the maximum") << 4e7 << 4e7;
    QTest::newRow("beyond the maximum") << 1e9 << 4e7;
}

void EarthManipulatorTest::rangeStaysWithinBounds()
{
    QFETCH(double, asked);
    QFETCH(double, kept);

    m_manipulator->setViewpoint(Viewpoint("", 10.0, 20.0, 0.0, 0.0, -90.0, asked), 2.0);
    frame(0.0);
    frame(2.0);
    QCOMPARE(m_manipulator->getViewpoint().range().as(Units::METERS), kept);

    for (int i = 0; i < 100; ++i)
        m_manipulator->zoom(0.0, -0.5);
    QCOMPARE(m_manipulator->getViewpoint().range().as(Units::METERS), 500.0);
    for (int i = 0; i < 100; ++i)
        m_manipulator->zoom(0.0, 1.0);
    QCOMPARE(m_manipulator->getViewpoint().range().as(Units::METERS), 4e7);
}

void EarthManipulatorTest::pitchStaysInItsBand_data()
{
    QTest::addColumn<double>("asked");
    QTest::addColumn<double>("kept");

    QTest::newRow("-100 looks straight down") << -100.0 << -90.0;
    QTest::newRow("straight down") << -90.0 << -90.0;
    QTest::newRow("oblique") << -45.0 << -45.0;
    QTest::newRow("above the horizon") << 10.0 << -10.0;
}

void EarthManipulatorTest::pitchStaysInItsBand()
{
    QFETCH(double, asked);
    QFETCH(double, kept);

    m_manipulator->setViewpoint(Viewpoint("", 10.0, 20.0, 0.0, 0.0, asked, 2000.0));
    QCOMPARE(m_manipulator->getViewpoint().pitch().as(Units::DEGREES), kept);
    double azimuth = 1.0, pitch = 0.0;
    m_manipulator->getCompositeEulerAngles(&azimuth, &pitch);
    QCOMPARE(pitch, osg::DegreesToRadians(kept));
    QCOMPARE(azimuth, 0.0);
}

void EarthManipulatorTest::zoomScalesTheRange()
{
    m_manipulator->setViewpoint(Viewpoint("", 10.0, 20.0, 0.0, 45.0, -90.0, 2000.0));
    m_manipulator->zoom(0.1, 0.1);
    QVERIFY(std::fabs(m_manipulator->getViewpoint().range().as(Units::METERS) - 2200.0) < 1e-9);
    m_manipulator->zoom(-0.1, -0.1);
    QVERIFY(std::fabs(m_manipulator->getViewpoint().range().as(Units::METERS) - 1980.0) < 1e-9);

    // Zooming takes over from a flight where it is.
    m_manipulator->setViewpoint(Viewpoint("", 50.0, 20.0, 0.0, 45.0, -90.0, 2000.0), 5.0);
    frame(0.0);
    frame(2.5);
    const double lon = m_manipulator->getViewpoint().focalPoint().x();
    m_manipulator->zoom(0.0, 0.1);
    QVERIFY(!m_manipulator->isSettingViewpoint());
    frame(5.0);
    QCOMPARE(m_manipulator->getViewpoint().focalPoint().x(), lon);
}

void EarthManipulatorTest::scrollFollowsItsBindings_data()
{
    QTest::addColumn<bool>("swapped");
    QTest::addColumn<int>("motion");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<double>("range");

    const int up = osgGA::GUIEventAdapter::SCROLL_UP, down = osgGA::GUIEventAdapter::SCROLL_DOWN;
    const int ctrl = osgGA::GUIEventAdapter::MODKEY_CTRL, numLock = osgGA::GUIEventAdapter::MODKEY_NUM_LOCK;
    QTest::newRow("up zooms in") << false << up << 0 << 8000.0;
    QTest::newRow("down zooms out") << false << down << 0 << 12000.0;
    QTest::newRow("num lock does not matter") << false << up << numLock << 8000.0;
    QTest::newRow("with Ctrl, unbound") << false << up << ctrl << 10000.0;
    QTest::newRow("rebound: down zooms in") << true << down << 0 << 8000.0;
}

void EarthManipulatorTest::scrollFollowsItsBindings()
{
    QFETCH(bool, swapped);
    QFETCH(int, motion);
    QFETCH(int, modifiers);
    QFETCH(double, range);

    if (swapped) {
        m_manipulator->getSettings()->bindScroll(EarthManipulator::ACTION_ZOOM_IN, osgGA::GUIEventAdapter::SCROLL_DOWN);
        m_manipulator->getSettings()->bindScroll(EarthManipulator::ACTION_ZOOM_OUT, osgGA::GUIEventAdapter::SCROLL_UP);
    }
    m_manipulator->setViewpoint(Viewpoint("", 10.0, 20.0, 0.0, 0.0, -90.0, 10000.0));
    m_queue->getCurrentEventState()->setModKeyMask(modifiers);
    const bool handled = event(m_queue->mouseScroll(osgGA::GUIEventAdapter::ScrollingMotion(motion)));
    QCOMPARE(handled, range != 10000.0);
    QVERIFY(std::fabs(m_manipulator->getViewpoint().range().as(Units::METERS) - range) < 1e-6);
}

void EarthManipulatorTest::wheelZoomFollowsTheDelta_data()
{
    QTest::addColumn<int>("events");
    QTest::addColumn<float>("delta");
    QTest::addColumn<double>("range");

    // A notch of 120 zooms by a fifth of the range; smaller events add up
    // to the same, as a touchpad's do.
    QTest::newRow("one notch up") << 1 << 120.0f << 8000.0;
    QTest::newRow("eight eighths up") << 8 << 15.0f << 8000.0;
    QTest::newRow("one notch down") << 1 << -120.0f << 12000.0;
    QTest::newRow("eight eighths down") << 8 << -15.0f << 12000.0;
    QTest::newRow("two notches in one event") << 1 << 240.0f << 6400.0;
    QTest::newRow("no delta counts as a notch") << 1 << 0.0f << 8000.0;
}

void EarthManipulatorTest::wheelZoomFollowsTheDelta()
{
    QFETCH(int, events);
    QFETCH(float, delta);
    QFETCH(double, range);

    m_manipulator->setViewpoint(Viewpoint("", 10.0, 20.0, 0.0, 0.0, -90.0, 10000.0));
    for (int i = 0; i < events; ++i) {
        osgGA::GUIEventAdapter *wheel = m_queue->mouseScroll(delta < 0.0f ? osgGA::GUIEventAdapter::SCROLL_DOWN
                                                                          : osgGA::GUIEventAdapter::SCROLL_UP);
        wheel->setScrollingDeltaY(delta);
        QVERIFY(event(wheel));
    }
    const double reached = m_manipulator->getViewpoint().range().as(Units::METERS);
    QVERIFY2(std::fabs(reached - range) < 1e-6 * range, qPrintable(QString::number(reached)));
}

void EarthManipulatorTest::dragsPanRotateAndZoom()
{
    const Viewpoint start("", 10.0, 20.0, 0.0, 0.0, -90.0, 10000.0);
    const auto drag = [this, &start](int button, float dx, float dy, int modifiers = 0) {
        m_manipulator->setViewpoint(start);
        m_queue->getCurrentEventState()->setModKeyMask(modifiers);
        event(m_queue->mouseButtonPress(400.0f, 300.0f, button));
        event(m_queue->mouseMotion(400.0f + dx, 300.0f + dy));
        event(m_queue->mouseButtonRelease(400.0f + dx, 300.0f + dy, button));
        return m_manipulator->getViewpoint();
    };

    // Dragging the globe right and up brings what lay west and south.
    const Viewpoint panned = drag(1, 80.0f, 60.0f);
    QVERIFY(panned.focalPoint().x() < 10.0 && panned.focalPoint().y() < 20.0);
    QCOMPARE(panned.range().as(Units::METERS), 10000.0);

    const Viewpoint turned = drag(2, 80.0f, 60.0f);
    QVERIFY(apart(turned, start) < 1e-6);
    QVERIFY(turned.heading().as(Units::DEGREES) != 0.0);
    QVERIFY(turned.pitch().as(Units::DEGREES) > -90.0);
    QCOMPARE(drag(1, 80.0f, 60.0f, osgGA::GUIEventAdapter::MODKEY_CTRL).heading().getValue(),
             turned.heading().getValue());

    QVERIFY(drag(3, 0.0f, 60.0f).range().as(Units::METERS) < 10000.0);
    QVERIFY(drag(3, 0.0f, -60.0f).range().as(Units::METERS) > 10000.0);
}

void EarthManipulatorTest::rightDragKeepsTheRangePositive_data()
{
    QTest::addColumn<float>("up");
    QTest::addColumn<double>("range");

    // Pixels of the 600 high view; half of it is one normalised unit, and
    // each unit scales the range by e.
    QTest::newRow("a short drag up") << 30.0f << 10000.0 * std::exp(-0.1);
    QTest::newRow("half the view up") << 300.0f << 10000.0 * std::exp(-1.0);
    QTest::newRow("the whole view up") << 600.0f << 10000.0 * std::exp(-2.0);
    QTest::newRow("half the view down") << -300.0f << 10000.0 * std::exp(1.0);
}

void EarthManipulatorTest::rightDragKeepsTheRangePositive()
{
    QFETCH(float, up);
    QFETCH(double, range);

    m_manipulator->setViewpoint(Viewpoint("", 10.0, 20.0, 0.0, 0.0, -90.0, 10000.0));
    const float from = up > 0.0f ? 0.0f : 600.0f;
    event(m_queue->mouseButtonPress(400.0f, from, 3));
    event(m_queue->mouseMotion(400.0f, from + up));
    event(m_queue->mouseButtonRelease(400.0f, from + up, 3));
    const double reached = m_manipulator->getViewpoint().range().as(Units::METERS);
    QVERIFY2(std::fabs(reached - range) < 1e-6 * range, qPrintable(QString::number(reached)));
}

void EarthManipulatorTest::cameraLooksAtTheFocalPoint_data()
{
    QTest::addColumn<double>("heading");
    QTest::addColumn<double>("pitch");

    QTest::newRow("straight down, north up") << 0.0 << -90.0;
    QTest::newRow("oblique, facing east") << 90.0 << -30.0;
    QTest::newRow("oblique, facing south-west") << 225.0 << -60.0;
}

void EarthManipulatorTest::cameraLooksAtTheFocalPoint()
{
    QFETCH(double, heading);
    QFETCH(double, pitch);

    const double range = 3000.0;
    m_manipulator->setViewpoint(Viewpoint("", 113.91088, 22.543854, 0.0, heading, pitch, range));
    const osg::Matrixd camera = m_manipulator->getMatrix();
    const osg::Vec3d eye = camera.getTrans();
    const osg::Vec3d look = osg::Matrixd::transform3x3(osg::Vec3d(0.0, 0.0, -1.0), camera);
    const osg::Vec3d focal = worldOf(113.91088, 22.543854);

    QVERIFY(std::fabs((eye - focal).length() - range) < 1e-3);
    QVERIFY(((focal - eye) / range - look).length() < 1e-6);

    // The eye stands above the ground by range times the sine of the pitch,
    // on the side opposite the heading.
    osg::Vec3d eyeGeo;
    SpatialReference::wgs84Geographic()->transformFromWorld(eye, eyeGeo);
    QVERIFY(std::fabs(eyeGeo.z() - range * std::sin(osg::DegreesToRadians(-pitch))) < 1.0);
    osg::Matrixd frame;
    SpatialReference::wgs84Geographic()->createLocalToWorld(osg::Vec3d(113.91088, 22.543854, 0.0), frame);
    const osg::Vec3d local = eye * osg::Matrixd::inverse(frame); // x east, y north, z up
    if (pitch > -90.0) {
        const double facing = osg::RadiansToDegrees(std::atan2(-local.x(), -local.y()));
        QVERIFY2(std::fabs(std::fmod(facing + 360.0, 360.0) - heading) < 1e-6, qPrintable(QString::number(facing)));
    }

    // The same camera handed back gives the same viewpoint.
    osg::ref_ptr<EarthManipulator> other = new EarthManipulator;
    other->setByMatrix(camera);
    const Viewpoint again = other->getViewpoint();
    QVERIFY(apart(again, m_manipulator->getViewpoint()) < 0.01);
    QVERIFY(std::fabs(again.pitch().as(Units::DEGREES) - pitch) < 1e-6);
    QVERIFY(std::fabs(again.range().as(Units::METERS) - range) < 1e-3);
}

void EarthManipulatorTest::tetherFollowsAMovingNode()
{
    osg::ref_ptr<osg::Group> root = new osg::Group;
    osg::ref_ptr<osg::MatrixTransform> holder = new osg::MatrixTransform(osg::Matrixd::translate(worldOf(113.9, 22.5, 400.0)));
    osg::ref_ptr<osg::Geode> drone = new osg::Geode;
    drone->addDrawable(new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(), 3.0f)));
    holder->addChild(drone.get());
    root->addChild(holder.get());

    Viewpoint follow = m_manipulator->getViewpoint();
    follow.setNode(drone.get());
    follow.setRange(Distance(1600.0));
    follow.setPitch(Angle(-90.0));
    m_manipulator->setViewpoint(follow);
    QVERIFY(m_manipulator->isTethering());
    frame(0.0);
    QVERIFY((m_manipulator->getViewpoint().focalPoint().vec3d() - osg::Vec3d(113.9, 22.5, 400.0)).length() < 1e-6);
    QVERIFY(m_actions.continuous);

    holder->setMatrix(osg::Matrixd::translate(worldOf(114.2, 22.7, 450.0)));
    frame(0.1);
    const Viewpoint moved = m_manipulator->getViewpoint();
    QVERIFY((moved.focalPoint().vec3d() - osg::Vec3d(114.2, 22.7, 450.0)).length() < 1e-6);
    QCOMPARE(moved.getNode(), static_cast<osg::Node *>(drone.get()));
    QCOMPARE(moved.range().as(Units::METERS), 1600.0);

    // Zooming keeps the tether; clearing it leaves the camera where it is.
    m_manipulator->zoom(0.0, 0.1);
    QVERIFY(m_manipulator->isTethering());
    m_manipulator->clearViewpoint();
    QVERIFY(!m_manipulator->isTethering());
    holder->setMatrix(osg::Matrixd::translate(worldOf(115.0, 23.0, 500.0)));
    frame(0.2);
    QVERIFY((m_manipulator->getViewpoint().focalPoint().vec3d() - osg::Vec3d(114.2, 22.7, 450.0)).length() < 1e-6);
    QVERIFY(!m_manipulator->getViewpoint().getNode());
    QVERIFY(!m_actions.continuous);

    // A deleted node ends nothing badly.
    m_manipulator->setViewpoint(follow);
    holder->removeChildren(0, 1);
    drone = nullptr;
    frame(0.3);
    QVERIFY(!m_manipulator->isTethering());
}

void EarthManipulatorTest::tetheredFlightLandsOnTheNode()
{
    osg::ref_ptr<osg::MatrixTransform> holder = new osg::MatrixTransform(osg::Matrixd::translate(worldOf(10.0, 10.0, 0.0)));
    osg::ref_ptr<osg::Geode> drone = new osg::Geode;
    drone->addDrawable(new osg::ShapeDrawable(new osg::Sphere(osg::Vec3(), 3.0f)));
    holder->addChild(drone.get());

    m_manipulator->setViewpoint(Viewpoint("", 0.0, 0.0, 0.0, 0.0, -90.0, 1e6));
    Viewpoint follow;
    follow.setNode(drone.get());
    follow.setRange(Distance(1600.0));
    m_manipulator->setViewpoint(follow, 1.0);
    frame(0.0);
    holder->setMatrix(osg::Matrixd::translate(worldOf(10.5, 10.0, 0.0)));
    frame(0.5);
    frame(1.0);
    QVERIFY(!m_manipulator->isSettingViewpoint());
    QVERIFY((m_manipulator->getViewpoint().focalPoint().vec3d() - osg::Vec3d(10.5, 10.0, 0.0)).length() < 1e-6);
}

void EarthManipulatorTest::invalidViewpointIsIgnored()
{
    m_manipulator->setViewpoint(Viewpoint("", 10.0, 20.0, 0.0, 0.0, -90.0, 2000.0));
    m_manipulator->setViewpoint(Viewpoint(), 5.0);
    QVERIFY(!m_manipulator->isSettingViewpoint());
    QCOMPARE(m_manipulator->getViewpoint().focalPoint().x(), 10.0);
}

QTEST_MAIN(EarthManipulatorTest)
#include "tst_earthmanipulator.moc"
