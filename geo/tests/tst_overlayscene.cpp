// A small globe scene with everything this library draws over it, rendered
// under a virtual display and checked by what a person would see.

#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QtTest>

#include <osgDB/ReadFile>
#include <osgText/Font>

#include "OsgViewerWidget.h"
#include "geo/AltitudeSymbol.h"
#include "geo/CircleNode.h"
#include "geo/CircleNodeEditor.h"
#include "geo/ControlCanvas.h"
#include "geo/EarthManipulator.h"
#include "geo/FeatureNode.h"
#include "geo/IconSymbol.h"
#include "geo/ImageControl.h"
#include "geo/LabelControl.h"
#include "geo/LineSymbol.h"
#include "geo/MapNode.h"
#include "geo/PlaceNode.h"
#include "geo/PolygonSymbol.h"
#include "geo/SkyNode.h"
#include "geo/TextSymbol.h"

using namespace geo;

namespace {

constexpr int viewWidth = 800;
constexpr int viewHeight = 600;

const SpatialReference *wgs84() { return SpatialReference::wgs84Geographic(); }

std::string dataFile(const char *name)
{
    return std::string(STATION_BIN_DIR) + "/data/" + name;
}

osg::Vec3d worldOf(const GeoPoint &point)
{
    osg::Vec3d world;
    point.toWorld(world);
    return world;
}

struct Criterion {
    const char *what;
    bool (*matches)(QRgb);
};

bool cyanish(QRgb p) { return qGreen(p) > qRed(p) + 50 && qBlue(p) > qRed(p) + 50; }
bool yellow(QRgb p) { return qRed(p) > 180 && qGreen(p) > 180 && qBlue(p) < 120; }
bool pinRed(QRgb p) { return qRed(p) > 170 && qGreen(p) < 80 && qBlue(p) < 80; }
bool orange(QRgb p) { return qRed(p) > 200 && qGreen(p) > 90 && qGreen(p) < 170 && qBlue(p) < 90; }
bool handleGreen(QRgb p) { return qGreen(p) > 200 && qRed(p) < 90 && qBlue(p) < 90; }
bool sea(QRgb p) { return qBlue(p) > qRed(p) + 20 && qBlue(p) > qGreen(p); }
bool land(QRgb p) { return qRed(p) >= qBlue(p) && qRed(p) + qGreen(p) + qBlue(p) > 120; }

class ClickCounter : public ControlEventHandler
{
public:
    std::vector<osg::Vec2f> positions;
    void onClick(Control *, const osg::Vec2f &position, int) override { positions.push_back(position); }
};

} // namespace

class OverlaySceneTest : public QObject
{
    Q_OBJECT

private:
    OsgViewerWidget *m_widget = nullptr;
    osg::ref_ptr<MapNode> m_mapNode;
    osg::ref_ptr<CircleNode> m_sector;
    osg::ref_ptr<FeatureNode> m_line;
    osg::ref_ptr<PlaceNode> m_mark;
    osg::ref_ptr<LabelControl> m_label;
    osg::ref_ptr<ImageControl> m_rose;
    osg::ref_ptr<ImageControl> m_button;
    osg::ref_ptr<ClickCounter> m_clicks;
    QImage m_image;

    QPoint pixelOf(const GeoPoint &point) const
    {
        const osg::Camera *camera = m_widget->getOsgViewer()->getCamera();
        const osg::Vec3d window = worldOf(point) * camera->getViewMatrix() * camera->getProjectionMatrix()
                                  * camera->getViewport()->computeWindowMatrix();
        // Window rows count from the bottom, image rows from the top.
        return QPoint(int(window.x()), m_image.height() - 1 - int(window.y()));
    }

    int count(const QRect &area, const Criterion &criterion) const
    {
        int matching = 0;
        const QRect inside = area.intersected(m_image.rect());
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                matching += criterion.matches(m_image.pixel(x, y)) ? 1 : 0;
        return matching;
    }

    void buildAnnotations()
    {
        Style footprint;
        footprint.getOrCreate<PolygonSymbol>()->fill().color = Color(Color::Cyan, 0.5f);
        footprint.getOrCreate<AltitudeSymbol>()->clamping = AltitudeSymbol::CLAMP_TO_TERRAIN;
        footprint.getOrCreate<AltitudeSymbol>()->technique = AltitudeSymbol::TECHNIQUE_DRAPE;
        m_sector = new CircleNode;
        m_sector->set(GeoPoint(wgs84(), 114.0, 22.5, 1.0, ALTMODE_RELATIVE), Distance(400.0, Units::KILOMETERS),
                      footprint, Angle(-45.0), Angle(45.0), true);
        m_mapNode->addChild(m_sector);
        m_mapNode->addChild(new CircleNodeEditor(m_sector.get()));

        Style lineStyle;
        lineStyle.getOrCreate<LineSymbol>()->stroke().color = Color::Yellow;
        lineStyle.getOrCreate<LineSymbol>()->stroke().width = 3.0f;
        lineStyle.getOrCreate<LineSymbol>()->setTessellation(20);
        lineStyle.getOrCreate<AltitudeSymbol>()->clamping = AltitudeSymbol::CLAMP_TO_TERRAIN;
        osg::ref_ptr<LineString> points = new LineString;
        points->push_back(osg::Vec3d(108.0, 17.0, 0.0));
        points->push_back(osg::Vec3d(121.0, 25.0, 0.0));
        m_line = new FeatureNode(new Feature(points.get(), wgs84()), lineStyle);
        m_line->init();
        m_mapNode->addChild(m_line);

        Style markStyle;
        markStyle.getOrCreate<IconSymbol>()->url = dataFile("placemark64.png");
        markStyle.getOrCreate<TextSymbol>()->halo = TextSymbol::Halo{Color("#5f5f5f"), 0.07f};
        m_mark = new PlaceNode(GeoPoint(wgs84(), 110.3, 20.0), "Haikou", markStyle);
        m_mapNode->addChild(m_mark);
        // Straight behind the earth's centre, as seen from the camera.
        m_mapNode->addChild(new PlaceNode(GeoPoint(wgs84(), -66.0, -22.5), "Far side", markStyle));
    }

    void buildControls(osgViewer::Viewer *viewer, osg::Group *root)
    {
        ControlCanvas *canvas = ControlCanvas::getOrCreate(viewer);
        root->addChild(canvas);
        m_label = new LabelControl("Length\xEF\xBC\x9A" "1234.5 m", 25.0f, osg::Vec4f(1.0f, 0.5f, 0.0f, 1.0f));
        m_label->setFont(osgText::readRefFontFile("simhei.ttf"));
        m_label->setHaloColor(Color::White);
        m_label->setHorizAlign(Control::ALIGN_LEFT);
        m_label->setVertAlign(Control::ALIGN_BOTTOM);
        m_label->setMargin(10);
        canvas->addControl(m_label);

        m_rose = new ImageControl(osgDB::readRefImageFile(dataFile("compass.png")).get());
        m_rose->setHorizAlign(Control::ALIGN_RIGHT);
        m_rose->setVertAlign(Control::ALIGN_TOP);
        m_rose->setFixSizeForRotation(true);
        m_rose->setRotation(Angle(-30.0));
        m_rose->setAbsorbEvents(false);
        canvas->addControl(m_rose);

        m_clicks = new ClickCounter;
        m_button = new ImageControl(osgDB::readRefImageFile(dataFile("Optivane09_01.png")).get());
        m_button->setPosition(20, 10);
        m_button->addEventHandler(m_clicks);
        canvas->addControl(m_button);
    }

private slots:
    void initTestCase()
    {
        osg::ref_ptr<osg::Node> earth = osgDB::readRefNodeFile(dataFile("arcgis.earth"));
        m_mapNode = MapNode::findMapNode(earth.get());
        QVERIFY(m_mapNode);

        m_widget = new OsgViewerWidget;
        m_widget->resize(viewWidth, viewHeight);
        QSignalSpy initialized(m_widget, &OsgViewerWidget::initialized);
        m_widget->show();
        QVERIFY(initialized.count() == 1 || initialized.wait(10000));

        osgViewer::Viewer *viewer = m_widget->getOsgViewer();
        osg::ref_ptr<osg::Group> root = new osg::Group;
        root->addChild(earth);
        osg::ref_ptr<SkyNode> sky = SkyNode::create(m_mapNode.get());
        sky->setDateTime(DateTime(2022, 4, 5, 5.0));
        sky->attach(viewer, 2);
        root->addChild(sky);
        buildAnnotations();
        buildControls(viewer, root.get());
        viewer->getCamera()->setProjectionMatrixAsPerspective(30.0, double(viewWidth) / viewHeight, 1.0, 1000.0);
        viewer->getCamera()->setNearFarRatio(1e-5);
        viewer->setSceneData(root);
        osg::ref_ptr<EarthManipulator> manipulator = new EarthManipulator;
        manipulator->setViewpoint(Viewpoint("", 114.0, 22.5, 0.0, 0.0, -90.0, 3.0e6));
        viewer->setCameraManipulator(manipulator, false);

        // The first frame lays out and splits tiles; the second shows it.
        m_widget->grabFramebuffer();
        m_image = m_widget->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        const QString folder = QStringLiteral(STATION_BIN_DIR "/../test-output");
        QDir().mkpath(folder);
        QVERIFY(m_image.save(folder + "/overlay-scene.png"));
    }

    void cleanupTestCase() { delete m_widget; }

    void globeShowsLandAndSea_data()
    {
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("lat");
        QTest::addColumn<bool>("isSea");
        QTest::newRow("South China Sea") << 116.0 << 18.0 << true;
        QTest::newRow("Guangxi") << 108.5 << 24.5 << false;
        QTest::newRow("Gulf of Tonkin") << 107.5 << 19.5 << true;
    }

    void globeShowsLandAndSea()
    {
        QFETCH(double, lon);
        QFETCH(double, lat);
        QFETCH(bool, isSea);
        const QRect around(pixelOf(GeoPoint(wgs84(), lon, lat)) - QPoint(2, 2), QSize(5, 5));
        QVERIFY(count(around, isSea ? Criterion{"sea", sea} : Criterion{"land", land}) >= 20);
    }

    void drawingsShowWhereTheyAre_data()
    {
        QTest::addColumn<double>("lon");
        QTest::addColumn<double>("lat");
        QTest::addColumn<int>("searchRadius");
        QTest::addColumn<int>("criterion");
        QTest::addColumn<int>("atLeast");
        // Inside the sector, 200 km north of its centre.
        QTest::newRow("cyan sector") << 114.0 << 24.3 << 3 << 0 << 40;
        QTest::newRow("yellow line") << 108.1 << 17.06 << 4 << 1 << 3;
        QTest::newRow("red pin over its point") << 110.3 << 20.0 << 40 << 2 << 100;
        // The editor's radius handle, on the arc due north: 400 km is 3.61
        // degrees of latitude here.
        QTest::newRow("radius handle") << 114.0 << 26.11 << 4 << 3 << 20;
    }

    void drawingsShowWhereTheyAre()
    {
        QFETCH(double, lon);
        QFETCH(double, lat);
        QFETCH(int, searchRadius);
        QFETCH(int, criterion);
        QFETCH(int, atLeast);
        const Criterion criteria[] = {{"cyan", cyanish}, {"yellow", yellow}, {"pin red", pinRed}, {"green", handleGreen}};
        const QPoint at = pixelOf(GeoPoint(wgs84(), lon, lat));
        const QRect around(at - QPoint(searchRadius, searchRadius), QSize(2 * searchRadius + 1, 2 * searchRadius + 1));
        const int found = count(around, criteria[criterion]);
        QVERIFY2(found >= atLeast, qPrintable(QStringLiteral("%1 pixels near (%2, %3): %4")
                                                  .arg(criteria[criterion].what).arg(at.x()).arg(at.y()).arg(found)));
    }

    void markBehindTheEarthIsHidden()
    {
        // Its pin would stand in the middle of the view, over the sector.
        const QRect middle(viewWidth / 2 - 40, viewHeight / 2 - 80, 80, 100);
        QCOMPARE(count(middle, {"pin red", pinRed}), 0);
    }

    void sectorIsHiddenOutsideItsArc()
    {
        // South of the centre is outside the arc from -45 to 45 degrees.
        const QRect south(pixelOf(GeoPoint(wgs84(), 114.0, 20.7)) - QPoint(3, 3), QSize(7, 7));
        QCOMPARE(count(south, {"cyan", cyanish}), 0);
    }

    void labelAndImageControls()
    {
        // The label sits in the bottom-left corner, 10 pixels in.
        const QRect label(int(m_label->rect().x), int(m_label->rect().y), int(m_label->rect().width),
                          int(m_label->rect().height));
        QCOMPARE(m_label->rect().x, 10.0f);
        QCOMPARE(m_label->rect().y + m_label->rect().height, float(viewHeight - 10));
        QVERIFY(count(label, {"orange", orange}) > 150);
        // The rose in the top-right corner, with its red north.
        const QRect rose(viewWidth - 128, 0, 128, 128);
        QVERIFY(count(rose, {"pin red", pinRed}) > 10);
        QCOMPARE(count(QRect(0, 0, viewWidth, 60), {"orange", orange}), 0);
    }

    void clickOnAButton()
    {
        QTest::mouseClick(m_widget, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
        QTRY_COMPARE_WITH_TIMEOUT(m_clicks->positions.size(), size_t(1), 5000);
        QCOMPARE(m_clicks->positions[0], osg::Vec2f(10, 10));
        QTest::mouseClick(m_widget, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
        m_widget->grabFramebuffer();
        QCOMPARE(m_clicks->positions.size(), size_t(1));
    }

    void dragTheRadiusHandle()
    {
        // Last: it changes the scene.
        const QPoint handle = pixelOf(m_sector->pointOnCircle(Angle(0.0)));
        QTest::mousePress(m_widget, Qt::LeftButton, Qt::NoModifier, handle);
        QTest::mouseMove(m_widget, handle - QPoint(0, 40));
        QTest::mouseRelease(m_widget, Qt::LeftButton, Qt::NoModifier, handle - QPoint(0, 40));
        QTRY_VERIFY_WITH_TIMEOUT(m_sector->getRadius().as(Units::KILOMETERS) > 450.0, 5000);
        QVERIFY(m_sector->getRadius().as(Units::KILOMETERS) < 600.0);
        QCOMPARE(m_sector->getArcStart().as(Units::DEGREES), -45.0);
    }
};

QTEST_MAIN(OverlaySceneTest)
#include "tst_overlayscene.moc"
