// Lengths on the ellipsoid, and the measuring tool that reports them.

#include <QtTest>

#include <osgViewer/Viewer>

#include "geo/EllipsoidGeodesic.h"
#include "geo/MapNode.h"
#include "geo/MeasureToolHandler.h"

using namespace geo;

namespace {

double dms(double degrees, double minutes, double seconds)
{
    const double sign = degrees < 0.0 ? -1.0 : 1.0;
    return sign * (std::fabs(degrees) + minutes / 60.0 + seconds / 3600.0);
}

class RecordingCallback : public MeasureToolHandler::MeasureToolEventHandler
{
public:
    std::vector<double> distances;
    void onDistanceChanged(MeasureToolHandler *, double distance) override { distances.push_back(distance); }
};

constexpr double equatorialRadius = 6378137.0;

} // namespace

class MeasuringTest : public QObject
{
    Q_OBJECT

private:
    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::ref_ptr<MapNode> m_mapNode;
    osg::ref_ptr<MeasureToolHandler> m_tool;
    osg::ref_ptr<RecordingCallback> m_callback;

    void send(osgGA::GUIEventAdapter::EventType type, float x, float y, int button = 0)
    {
        osg::ref_ptr<osgGA::GUIEventAdapter> ea = new osgGA::GUIEventAdapter;
        ea->setEventType(type);
        ea->setInputRange(0, 0, 800, 600);
        ea->setX(x);
        ea->setY(y);
        ea->setButton(button);
        QVERIFY(!m_tool->handle(*ea, *m_viewer));
    }

    void click(float x, float y)
    {
        send(osgGA::GUIEventAdapter::PUSH, x, y, osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON);
        send(osgGA::GUIEventAdapter::RELEASE, x, y, osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON);
    }

    double longitudeSpan() const
    {
        return osg::DegreesToRadians(m_tool->points()[1].x() - m_tool->points()[0].x());
    }

private slots:
    void ellipsoidDistances_data()
    {
        QTest::addColumn<double>("lat1");
        QTest::addColumn<double>("lon1");
        QTest::addColumn<double>("lat2");
        QTest::addColumn<double>("lon2");
        QTest::addColumn<double>("metres");
        QTest::addColumn<double>("tolerance");
        // Geoscience Australia's worked example of Vincenty's formulae.
        QTest::newRow("Flinders Peak to Buninyong")
            << dms(-37, 57, 3.72030) << dms(144, 25, 29.52440) << dms(-37, 39, 10.15610) << dms(143, 55, 35.38390)
            << 54972.271 << 0.001;
        // WGS84's own figures: a degree of the equator, a quarter and half
        // of a meridian.
        QTest::newRow("one degree of the equator") << 0.0 << 0.0 << 0.0 << 1.0 << 111319.491 << 0.001;
        QTest::newRow("equator to pole") << 0.0 << 0.0 << 90.0 << 0.0 << 10001965.729 << 0.001;
        QTest::newRow("pole to pole") << 90.0 << 0.0 << -90.0 << 0.0 << 20003931.459 << 0.001;
        QTest::newRow("same point") << 22.5 << 113.9 << 22.5 << 113.9 << 0.0 << 0.0;
        // Nearly antipodal points defeat Vincenty's iteration and still
        // measure true. Between antipodes on the equator the shortest way
        // runs over a pole: half a meridian. The other is the worked
        // example of the inverse problem in Karney, "Algorithms for
        // geodesics", J. Geodesy 87 (2013), where Vincenty fails.
        QTest::newRow("antipodes on the equator") << 0.0 << 0.0 << 0.0 << 180.0 << 20003931.459 << 0.001;
        QTest::newRow("Karney's nearly antipodal example")
            << -30.0 << 0.0 << 29.9 << 179.8 << 19989832.82761 << 0.001;
    }

    void ellipsoidDistances()
    {
        QFETCH(double, lat1);
        QFETCH(double, lon1);
        QFETCH(double, lat2);
        QFETCH(double, lon2);
        QFETCH(double, metres);
        QFETCH(double, tolerance);
        const double measured = EllipsoidGeodesic::distance(osg::DegreesToRadians(lat1), osg::DegreesToRadians(lon1),
                                                            osg::DegreesToRadians(lat2), osg::DegreesToRadians(lon2));
        QVERIFY2(std::fabs(measured - metres) <= tolerance, qPrintable(QString::number(measured, 'f', 4)));
    }

    void init()
    {
        // Looking straight down at longitude 0, latitude 0 from 10000 km:
        // the middle row of the view runs along the equator.
        m_viewer = new osgViewer::Viewer;
        osg::Camera *camera = m_viewer->getCamera();
        camera->setViewport(0, 0, 800, 600);
        camera->setProjectionMatrixAsPerspective(30.0, 800.0 / 600.0, 1000.0, 1e8);
        camera->setViewMatrixAsLookAt(osg::Vec3d(equatorialRadius + 1e7, 0, 0), osg::Vec3d(), osg::Z_AXIS);
        osg::ref_ptr<osg::Image> world = new osg::Image;
        world->allocateImage(8, 4, 1, GL_RGB, GL_UNSIGNED_BYTE);
        m_mapNode = new MapNode(new Map("test", world.get()));
        m_tool = new MeasureToolHandler(m_mapNode.get());
        m_callback = new RecordingCallback;
        m_tool->addEventHandler(m_callback);
    }

    void measuresAlongTheEquator()
    {
        click(400, 300);
        QCOMPARE(m_callback->distances, std::vector<double>{0.0});
        QCOMPARE(m_tool->points().size(), size_t(1));
        QVERIFY(std::fabs(m_tool->points()[0].x()) < 0.01 && std::fabs(m_tool->points()[0].y()) < 0.01);

        send(osgGA::GUIEventAdapter::MOVE, 500, 300);
        QCOMPARE(m_callback->distances.size(), size_t(2));
        // Along the equator the geodesic is the equator itself.
        QVERIFY(std::fabs(m_callback->distances.back() - equatorialRadius * longitudeSpan()) < 0.01);
        QCOMPARE(m_tool->getLineStyle().empty(), false);

        click(500, 300);
        QCOMPARE(m_callback->distances.size(), size_t(3));
        const double measured = m_callback->distances.back();
        QVERIFY(measured > 100000.0);

        // Finished: moving reports nothing; the next click starts afresh.
        send(osgGA::GUIEventAdapter::MOVE, 600, 300);
        QCOMPARE(m_callback->distances.size(), size_t(3));
        QCOMPARE(m_tool->distance(), measured);
        click(450, 300);
        QCOMPARE(m_callback->distances.back(), 0.0);
        QCOMPARE(m_tool->points().size(), size_t(1));
    }

    void ignoresDragsSpaceAndOtherMasks()
    {
        // A drag turns the globe; it takes no point.
        send(osgGA::GUIEventAdapter::PUSH, 400, 300, osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON);
        send(osgGA::GUIEventAdapter::RELEASE, 420, 300, osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON);
        // The corner of the view shows space.
        click(2, 2);
        // A right click is not a measuring click.
        send(osgGA::GUIEventAdapter::PUSH, 400, 300, osgGA::GUIEventAdapter::RIGHT_MOUSE_BUTTON);
        send(osgGA::GUIEventAdapter::RELEASE, 400, 300, osgGA::GUIEventAdapter::RIGHT_MOUSE_BUTTON);
        // A mask that shares no bit with the map's.
        m_mapNode->setNodeMask(0x2);
        m_tool->setIntersectionMask(9);
        click(400, 300);
        QVERIFY(m_callback->distances.empty());
        m_mapNode->setNodeMask(0x1);
        click(400, 300);
        QCOMPARE(m_callback->distances.size(), size_t(1));
    }

    void drawsTheLineOnTheMap()
    {
        FeatureNode *line = nullptr;
        for (unsigned i = 0; i < m_mapNode->getNumChildren() && !line; ++i)
            line = dynamic_cast<FeatureNode *>(m_mapNode->getChild(i));
        QVERIFY(line);
        click(400, 300);
        QCOMPARE(line->getNumChildren(), 0u);
        send(osgGA::GUIEventAdapter::MOVE, 450, 320);
        QCOMPARE(line->getNumChildren(), 1u);
        m_tool->clear();
        QCOMPARE(line->getNumChildren(), 0u);
        m_tool = nullptr;
        QVERIFY(!m_mapNode->containsNode(line));
    }
};

QTEST_GUILESS_MAIN(MeasuringTest)
#include "tst_measuring.moc"
