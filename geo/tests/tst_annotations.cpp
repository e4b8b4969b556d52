// Marks, lines, sectors and styles on the globe.

#include <QColor>
#include <QtTest>

#include <osg/Geode>
#include <osg/Geometry>
#include <osgUtil/IntersectionVisitor>
#include <osgUtil/LineSegmentIntersector>

#include "geo/AltitudeSymbol.h"
#include "geo/CircleNode.h"
#include "geo/CircleNodeEditor.h"
#include "geo/Color.h"
#include "geo/EllipsoidGeodesic.h"
#include "geo/FeatureNode.h"
#include "geo/LineSymbol.h"
#include "geo/PlaceNode.h"
#include "geo/PolygonSymbol.h"

using namespace geo;

namespace {

const SpatialReference *wgs84() { return SpatialReference::wgs84Geographic(); }

// A place south of Shenzhen, where the drone's footprint starts.
const double centreLon = 113.91088;
const double centreLat = 22.543854;

double metresBetween(const GeoPoint &a, const GeoPoint &b)
{
    return EllipsoidGeodesic::distance(osg::DegreesToRadians(a.y()), osg::DegreesToRadians(a.x()),
                                       osg::DegreesToRadians(b.y()), osg::DegreesToRadians(b.x()));
}

osg::ref_ptr<FeatureNode> lineThrough(const std::vector<osg::Vec3d> &points)
{
    osg::ref_ptr<LineString> line = new LineString;
    line->assign(points.begin(), points.end());
    Style style;
    style.getOrCreate<LineSymbol>()->stroke().color = Color::Yellow;
    style.getOrCreate<LineSymbol>()->setTessellation(20);
    style.getOrCreate<AltitudeSymbol>()->clamping = AltitudeSymbol::CLAMP_TO_TERRAIN;
    return new FeatureNode(new Feature(line.get(), wgs84(), style));
}

osg::ref_ptr<CircleNode> sector(double startDegrees, double endDegrees, double radiusMetres)
{
    Style style;
    style.getOrCreate<PolygonSymbol>()->fill().color = Color(Color::Cyan, 0.5f);
    osg::ref_ptr<CircleNode> circle = new CircleNode;
    circle->set(GeoPoint(wgs84(), centreLon, centreLat, 1.0, ALTMODE_RELATIVE), Distance(radiusMetres), style,
                Angle(startDegrees), Angle(endDegrees), true);
    return circle;
}

// Hits of a segment from far out in space to the earth's centre through
// the world point.
unsigned hitsThrough(osg::Node *graph, const osg::Vec3d &world)
{
    osg::ref_ptr<osgUtil::LineSegmentIntersector> ray
        = new osgUtil::LineSegmentIntersector(world * 2.0, osg::Vec3d());
    osgUtil::IntersectionVisitor visitor(ray.get());
    graph->accept(visitor);
    return unsigned(ray->getIntersections().size());
}

// Geodes an intersection visitor enters along a segment through the
// whole earth.
int geodesVisited(osg::Node *graph, const osg::Vec3d &through)
{
    struct CountingVisitor : osgUtil::IntersectionVisitor {
        using osgUtil::IntersectionVisitor::IntersectionVisitor;
        int geodes = 0;
        void apply(osg::Geode &geode) override
        {
            ++geodes;
            osgUtil::IntersectionVisitor::apply(geode);
        }
    };
    osg::ref_ptr<osgUtil::LineSegmentIntersector> ray
        = new osgUtil::LineSegmentIntersector(through * 2.0, through * -2.0);
    CountingVisitor visitor(ray.get());
    graph->accept(visitor);
    return visitor.geodes;
}

osg::Vec3d worldOf(double lon, double lat, double height = 0.0)
{
    osg::Vec3d world;
    GeoPoint(wgs84(), lon, lat, height).toWorld(world);
    return world;
}

} // namespace

class AnnotationsTest : public QObject
{
    Q_OBJECT

private slots:
    void lineChildrenAfterInit_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("children");
        QTest::newRow("no points") << 0 << 0;
        QTest::newRow("one point") << 1 << 0;
        QTest::newRow("two points") << 2 << 1;
        QTest::newRow("three points") << 3 << 1;
    }

    void lineChildrenAfterInit()
    {
        QFETCH(int, points);
        QFETCH(int, children);
        std::vector<osg::Vec3d> line;
        for (int i = 0; i < points; ++i)
            line.emplace_back(centreLon + 0.01 * i, centreLat, 0.0);
        osg::ref_ptr<FeatureNode> node = lineThrough(line);
        QCOMPARE(int(node->getNumChildren()), 0);
        node->init();
        QCOMPARE(int(node->getNumChildren()), children);
        // Emptying the geometry and drawing again hides the line.
        node->getFeature()->getGeometry()->clear();
        node->init();
        QCOMPARE(int(node->getNumChildren()), 0);
    }

    void lineFollowsTheGround()
    {
        // Shanghai to Sydney: a long leg must bend with the earth, not cut
        // through it.
        osg::ref_ptr<FeatureNode> node = lineThrough({{121.47, 31.23, 0.0}, {151.21, -33.87, 0.0}});
        node->init();
        auto *anchor = dynamic_cast<osg::MatrixTransform *>(node->getChild(0));
        QVERIFY(anchor);
        auto *geometry = anchor->getChild(0)->asGeode()->getDrawable(0)->asGeometry();
        auto *vertices = static_cast<osg::Vec3Array *>(geometry->getVertexArray());
        QVERIFY(vertices->size() > 20);
        for (const osg::Vec3 &vertex : *vertices) {
            GeoPoint point;
            point.fromWorld(wgs84(), osg::Vec3d(vertex) + anchor->getMatrix().getTrans());
            QVERIFY2(point.z() > 0.0 && point.z() < 10.0, qPrintable(QString::number(point.z())));
        }
    }

    void placeMarkShowsOnlyWithAPoint()
    {
        osg::ref_ptr<PlaceNode> mark = new PlaceNode(GeoPoint(), "", Style());
        QCOMPARE(int(mark->getNumChildren()), 1);
        QCOMPARE(mark->getChild(0)->getNodeMask(), 0u);
        mark->setPosition(GeoPoint(wgs84(), centreLon, centreLat));
        QVERIFY(mark->getChild(0)->getNodeMask() != 0u);
        mark->setText("Length\xEF\xBC\x9A" "0 m");
        QCOMPARE(mark->getText(), std::string("Length\xEF\xBC\x9A" "0 m"));
    }

    void sectorChildren_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<double>("sweep");
        QTest::addColumn<int>("children");
        QTest::newRow("quarter round north") << -45.0 << 45.0 << 90.0 << 1;
        QTest::newRow("across north, negative start") << -25.0 << 35.0 << 60.0 << 1;
        QTest::newRow("end before start wraps") << 350.0 << 10.0 << 20.0 << 1;
        QTest::newRow("no field of view") << 5.0 << 5.0 << 0.0 << 0;
        QTest::newRow("a whole turn is the whole circle") << -180.0 << 180.0 << 360.0 << 1;
        QTest::newRow("more than a turn is the whole circle") << -200.0 << 200.0 << 360.0 << 1;
    }

    void sectorChildren()
    {
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(double, sweep);
        QFETCH(int, children);
        osg::ref_ptr<CircleNode> circle = sector(start, end, 300.0);
        QCOMPARE(circle->sweepDegrees(), sweep);
        QCOMPARE(int(circle->getNumChildren()), children);
    }

    void sectorArcLiesAtTheRadius_data()
    {
        QTest::addColumn<double>("bearing");
        QTest::addColumn<double>("northSign");
        QTest::addColumn<double>("eastSign");
        QTest::newRow("north") << 0.0 << 1.0 << 0.0;
        QTest::newRow("east") << 90.0 << 0.0 << 1.0;
        QTest::newRow("south-west") << 225.0 << -1.0 << -1.0;
    }

    void sectorArcLiesAtTheRadius()
    {
        QFETCH(double, bearing);
        QFETCH(double, northSign);
        QFETCH(double, eastSign);
        osg::ref_ptr<CircleNode> circle = sector(-45.0, 45.0, 2000.0);
        const GeoPoint onArc = circle->pointOnCircle(Angle(bearing));
        // Bearings are clockwise from north. Heading east, a geodesic
        // leaves the parallel towards the equator: 0.13 m over 2 km here.
        QCOMPARE(northSign == 0.0, std::fabs(onArc.y() - centreLat) < 1e-5);
        QCOMPARE(eastSign == 0.0, std::fabs(onArc.x() - centreLon) < 1e-9);
        if (northSign != 0.0)
            QCOMPARE(onArc.y() > centreLat, northSign > 0.0);
        if (eastSign != 0.0)
            QCOMPARE(onArc.x() > centreLon, eastSign > 0.0);
        QVERIFY(std::fabs(metresBetween(circle->getCenter(), onArc) - 2000.0) < 0.01);
    }

    void editorHandlesEditTheSector()
    {
        osg::ref_ptr<CircleNode> circle = sector(-45.0, 45.0, 300.0);
        osg::ref_ptr<CircleNodeEditor> editor = new CircleNodeEditor(circle.get());
        QCOMPARE(int(editor->getNumChildren()), int(CircleNodeEditor::HANDLE_COUNT));

        editor->moveHandle(CircleNodeEditor::HANDLE_RADIUS, circle->pointOnCircle(Angle(0.0)));
        QVERIFY(std::fabs(circle->getRadius().as(Units::METERS) - 300.0) < 0.01);
        const GeoPoint east = GeoPoint(wgs84(), centreLon + 0.01, centreLat);
        editor->moveHandle(CircleNodeEditor::HANDLE_END, east);
        QVERIFY(std::fabs(circle->getArcEnd().as(Units::DEGREES) - 90.0) < 0.01);
        editor->moveHandle(CircleNodeEditor::HANDLE_CENTER, east);
        QCOMPARE(circle->getCenter().x(), east.x());
        QCOMPARE(circle->getCenter().z(), 1.0);
    }

    void picksPassThroughAnnotations()
    {
        osg::ref_ptr<CircleNode> circle = sector(-90.0, 90.0, 50000.0);
        const osg::Vec3d inside = worldOf(centreLon, centreLat + 0.2);
        osg::ref_ptr<osg::Group> plain = new osg::Group;
        plain->addChild(circle->getChild(0));
        QVERIFY(hitsThrough(plain.get(), inside) > 0);
        QCOMPARE(hitsThrough(circle.get(), inside), 0u);

        // Lines and points are never hit by a ray anyway; what matters is
        // that an intersection visitor does not even look inside.
        osg::ref_ptr<FeatureNode> line = lineThrough({{centreLon - 1.0, centreLat, 0.0}, {centreLon + 1.0, centreLat, 0.0}});
        line->init();
        osg::ref_ptr<PlaceNode> mark = new PlaceNode(GeoPoint(wgs84(), centreLon, centreLat), "mark", Style());
        osg::ref_ptr<CircleNodeEditor> editor = new CircleNodeEditor(circle.get());
        for (AnnotationNode *annotation : std::initializer_list<AnnotationNode *>{circle, line, mark, editor}) {
            QVERIFY(annotation->getNumChildren() > 0);
            const osg::Vec3d through = annotation->getChild(0)->getBound().center();
            QCOMPARE(geodesVisited(annotation, through), 0);
            osg::ref_ptr<osg::Group> copy = new osg::Group;
            for (unsigned i = 0; i < annotation->getNumChildren(); ++i)
                copy->addChild(annotation->getChild(i));
            QVERIFY2(geodesVisited(copy.get(), through) > 0, typeid(*annotation).name());
        }
    }

    void styleCopiesAreDeep()
    {
        Style original("measure");
        original.getOrCreate<LineSymbol>()->stroke().color = Color::Yellow;
        original.getOrCreate<LineSymbol>()->stroke().width = 3.0f;
        Style copy(original);
        copy.getOrCreate<LineSymbol>()->stroke().color = Color::Red;
        copy.getOrCreate<LineSymbol>()->stroke().width = 400.0f;
        QCOMPARE(original.get<LineSymbol>()->stroke().color, osg::Vec4f(Color::Yellow));
        QCOMPARE(original.get<LineSymbol>()->stroke().width, 3.0f);
        QCOMPARE(copy.get<LineSymbol>()->stroke().width, 400.0f);
        QCOMPARE(copy.getName(), std::string("measure"));
        QVERIFY(!copy.get<PolygonSymbol>());
    }

    void htmlColours_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("grey halo") << "#5f5f5f" << QColor(0x5f, 0x5f, 0x5f, 255);
        QTest::newRow("with alpha") << "#ff800080" << QColor(255, 128, 0, 128);
        QTest::newRow("malformed") << "5f5f5f" << QColor(0, 0, 0, 255);
        QTest::newRow("not hex") << "#5g5f5f" << QColor(0, 0, 0, 255);
    }

    void htmlColours()
    {
        QFETCH(QString, html);
        QFETCH(QColor, expected);
        const Color colour(html.toStdString());
        QCOMPARE(QColor::fromRgbF(colour.r(), colour.g(), colour.b(), colour.a()), expected);
    }
};

QTEST_GUILESS_MAIN(AnnotationsTest)
#include "tst_annotations.moc"
