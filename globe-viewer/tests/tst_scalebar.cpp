#include <QtTest>

#include <osgDB/ReadFile>
#include <osgGA/GUIEventAdapter>
#include <osgUtil/UpdateVisitor>
#include <osgViewer/Viewer>

#include "ScaleBar.h"
#include "ScaleBarHandler.h"
#include "geo/EarthManipulator.h"
#include "geo/MapNode.h"

namespace {

enum Table { Meters, Feet, Fraction };

constexpr double kMile = 5280.0;
constexpr int kViewSize = 100;

// Straight down onto the equator at longitude 0 from `height` metres, or
// straight out into space.
void lookDown(osg::Camera *camera, double height)
{
    const double a = 6378137.0;
    camera->setViewMatrixAsLookAt(osg::Vec3d(a + height, 0, 0), osg::Vec3d(0, 0, 0), osg::Vec3d(0, 0, 1));
}

void lookIntoSpace(osg::Camera *camera)
{
    camera->setViewMatrixAsLookAt(osg::Vec3d(6378137.0 + 1.0e4, 0, 0), osg::Vec3d(1.0e8, 0, 0),
                                  osg::Vec3d(0, 0, 1));
}

} // namespace

class ScaleBarTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void niceSteps_data();
    void niceSteps();
    void measuringSpan_data();
    void measuringSpan();
    void labelsAndBars_data();
    void labelsAndBars();
    void measuresTheGroundAcrossTheMiddle_data();
    void measuresTheGroundAcrossTheMiddle();
    void blanksOverEmptySpace();
    void staysWhenHidden();
    void measuresTheViewOfTheFrame_data();
    void measuresTheViewOfTheFrame();

private:
    osg::ref_ptr<osg::Node> m_earth;
    osg::ref_ptr<geo::MapNode> m_mapNode;
    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::ref_ptr<ScaleBar> m_scaleBar;
};

void ScaleBarTest::initTestCase()
{
    m_earth = osgDB::readRefNodeFile(STATION_BIN_DIR "/data/arcgis.earth");
    m_mapNode = geo::MapNode::findMapNode(m_earth.get());
    QVERIFY(m_mapNode.valid());
}

void ScaleBarTest::init()
{
    // Without a window the bar measures a view of 100 by 100 pixels.
    m_viewer = new osgViewer::Viewer;
    osg::Camera *camera = m_viewer->getCamera();
    camera->setViewport(0, 0, kViewSize, kViewSize);
    camera->setProjectionMatrixAsPerspective(30.0, 1.0, 1.0, 1.0e8);
    lookDown(camera, 1.0e4);
    m_scaleBar = new ScaleBar(m_mapNode.get(), m_viewer.get());
}

void ScaleBarTest::niceSteps_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<double>("length");
    QTest::addColumn<double>("step");

    QTest::newRow("m 3") << int(Meters) << 3.0 << 1.0;
    QTest::newRow("m 3.01") << int(Meters) << 3.01 << 5.0;
    QTest::newRow("m 700") << int(Meters) << 700.0 << 500.0;
    QTest::newRow("m 999") << int(Meters) << 999.0 << 1000.0;
    QTest::newRow("m 50000") << int(Meters) << 50000.0 << 50000.0;
    QTest::newRow("m 55000") << int(Meters) << 55000.0 << 50000.0;
    QTest::newRow("m 60000") << int(Meters) << 60000.0 << 100000.0;
    QTest::newRow("m 1500000") << int(Meters) << 1500000.0 << 1000000.0;
    QTest::newRow("m 1500001") << int(Meters) << 1500001.0 << 2000000.0;

    QTest::newRow("ft 7.5") << int(Feet) << 7.5 << 5.0;
    QTest::newRow("ft 3640") << int(Feet) << 3640.0 << 2000.0;
    QTest::newRow("ft 3641") << int(Feet) << 3641.0 << kMile;
    QTest::newRow("ft 1.5 mi") << int(Feet) << 1.5 * kMile << kMile;
    QTest::newRow("ft 1.5 mi and a foot") << int(Feet) << 1.5 * kMile + 1 << 2 * kMile;
    QTest::newRow("ft 1500 mi") << int(Feet) << 1500 * kMile << 1000 * kMile;
    QTest::newRow("ft 1501 mi") << int(Feet) << 1501 * kMile << 2000 * kMile;

    QTest::newRow("fraction 0.0015") << int(Fraction) << 0.0015 << 0.001;
    QTest::newRow("fraction 0.0016") << int(Fraction) << 0.0016 << 0.002;
    QTest::newRow("fraction 0.0075") << int(Fraction) << 0.0075 << 0.005;
    QTest::newRow("fraction 0.76") << int(Fraction) << 0.76 << 1.0;
    QTest::newRow("fraction 1500") << int(Fraction) << 1500.0 << 1000.0;
    QTest::newRow("fraction 1501") << int(Fraction) << 1501.0 << 2000.0;
}

void ScaleBarTest::niceSteps()
{
    QFETCH(int, table);
    QFETCH(double, length);
    QFETCH(double, step);
    const double picked = table == Meters ? ScaleBar::niceStepMeters(length)
                          : table == Feet ? ScaleBar::niceStepFeet(length)
                                          : ScaleBar::niceStepFraction(length);
    QCOMPARE(picked, step);
}

void ScaleBarTest::measuringSpan_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("span");
    QTest::newRow("1000 clamped to 150") << 1000 << 150.0;
    QTest::newRow("500") << 500 << 100.0;
    QTest::newRow("40 raised to 10") << 40 << 10.0;
    QTest::newRow("0") << 0 << 10.0;
}

void ScaleBarTest::measuringSpan()
{
    QFETCH(int, width);
    QFETCH(double, span);
    QCOMPARE(ScaleBar::measuringSpan(width), span);
}

void ScaleBarTest::labelsAndBars_data()
{
    // A ground distance across the measured span, in each unit system: the
    // label, and the bar's width for the step that the label names.
    QTest::addColumn<int>("units");
    QTest::addColumn<double>("meters");
    QTest::addColumn<double>("span");
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("perPixel");

    QTest::newRow("60 km") << 0 << 60000.0 << 150.0 << "100 km" << 400.0;
    QTest::newRow("50 km") << 0 << 50000.0 << 150.0 << "50 km" << 50000.0 / 150;
    QTest::newRow("999 m") << 0 << 999.0 << 100.0 << "1 km" << 9.99;
    QTest::newRow("700 m") << 0 << 700.0 << 100.0 << "500 m" << 7.0;
    QTest::newRow("2.5 m") << 0 << 2.5 << 10.0 << "1 m" << 0.25;
    QTest::newRow("a mile") << 1 << 1609.344 << 150.0 << "1 mi" << kMile / 150;
    QTest::newRow("100 m in feet") << 1 << 100.0 << 20.0 << "200 ft" << 100.0 / 0.3048 / 20;
    QTest::newRow("1200 m in survey feet") << 2 << 1200.0 << 150.0 << "1 miUS" << 3937.0 / 150;
    QTest::newRow("30 m in survey feet") << 2 << 30.0 << 10.0 << "100 ftUS" << 30 * 3937.0 / 1200 / 10;
    QTest::newRow("half a nautical mile") << 3 << 926.0 << 100.0 << "0.5 nmi" << 0.005;
    QTest::newRow("3000 nautical miles") << 3 << 1852.0 * 3000 << 150.0 << "2000 nmi" << 20.0;
}

void ScaleBarTest::labelsAndBars()
{
    QFETCH(int, units);
    QFETCH(double, meters);
    QFETCH(double, span);
    QFETCH(QString, label);
    QFETCH(double, perPixel);

    m_scaleBar->m_unitSystem = units;
    const double shown = m_scaleBar->show(meters, span);
    QCOMPARE(QString::fromStdString(m_scaleBar->getLabel()->text()), label);
    QVERIFY(qFuzzyCompare(shown, perPixel));
    QCOMPARE(m_scaleBar->m_perPixel, shown);

    // The bar is as wide as the named step would be on the ground.
    const double step = label.section(' ', 0, 0).toDouble();
    const bool miles = label.endsWith(" mi") || label.endsWith(" miUS");
    const double unitLength = label.endsWith(" km") ? 1000.0 : miles ? kMile : 1.0;
    const float width = m_scaleBar->getBar()->measure().x();
    QVERIFY2(qFuzzyCompare(width, float(step * unitLength / perPixel)), qPrintable(QString::number(width)));
}

void ScaleBarTest::measuresTheGroundAcrossTheMiddle_data()
{
    QTest::addColumn<double>("pixelRatio");
    QTest::newRow("plain desktop") << 1.0;
    QTest::newRow("desktop scaled twice") << 2.0;
}

void ScaleBarTest::measuresTheGroundAcrossTheMiddle()
{
    QFETCH(double, pixelRatio);
    // A window as the GL widget describes it: the view's device pixels, and
    // how many of them make one of the desktop's pixels.
    osg::ref_ptr<osgViewer::GraphicsWindowEmbedded> window =
        new osgViewer::GraphicsWindowEmbedded(0, 0, kViewSize, kViewSize);
    window->setUserValue("devicePixelRatio", pixelRatio);
    m_viewer->getCamera()->setGraphicsContext(window.get());
    QCOMPARE(m_scaleBar->getLabel()->text(), std::string("2000km"));

    // From 10 km straight down, a 30 degree view 100 pixels high sees
    // 2 * 10 km * tan(15 degrees) = 5359 m of ground: 53.59 m a device
    // pixel. The 20 pixels measured span 1072 m, shown as 1 km; the bar is
    // drawn in the desktop's pixels.
    const double perPixel = m_scaleBar->update();
    const double expected = pixelRatio * 2.0 * 1.0e4 * std::tan(osg::DegreesToRadians(15.0)) / kViewSize;
    QVERIFY2(std::fabs(perPixel - expected) / expected < 0.01, qPrintable(QString::number(perPixel)));
    QCOMPARE(m_scaleBar->getLabel()->text(), std::string("1 km"));
    const float width = m_scaleBar->getBar()->measure().x();
    QVERIFY2(std::fabs(width - 1000.0 / expected) < 0.2, qPrintable(QString::number(width)));
}

void ScaleBarTest::blanksOverEmptySpace()
{
    lookIntoSpace(m_viewer->getCamera());
    QCOMPARE(m_scaleBar->update(), -1.0);
    QCOMPARE(m_scaleBar->getLabel()->text(), std::string());
    QCOMPARE(m_scaleBar->getBar()->measure().x(), 0.0f);

    // Back over the ground it shows again.
    lookDown(m_viewer->getCamera(), 1.0e4);
    QVERIFY(m_scaleBar->update() > 0.0);
    QCOMPARE(m_scaleBar->getLabel()->text(), std::string("1 km"));

    lookIntoSpace(m_viewer->getCamera());
    QCOMPARE(m_scaleBar->update(), -1.0);
    QCOMPARE(m_scaleBar->getLabel()->text(), std::string());
}

void ScaleBarTest::staysWhenHidden()
{
    m_scaleBar->setVisible(false);
    QVERIFY(!m_scaleBar->getBar()->visible());
    QCOMPARE(m_scaleBar->update(), -1.0);
    QCOMPARE(m_scaleBar->getLabel()->text(), std::string("2000km"));

    // Nor does it measure once its view is gone.
    m_scaleBar->setVisible(true);
    m_viewer = nullptr;
    QCOMPARE(m_scaleBar->update(), -1.0);
    QCOMPARE(m_scaleBar->getLabel()->text(), std::string("2000km"));
}

void ScaleBarTest::measuresTheViewOfTheFrame_data()
{
    QTest::addColumn<bool>("manipulated");
    QTest::addColumn<bool>("cameraDown");
    QTest::addColumn<QString>("label");
    // The manipulator's view is what the frame will show; the camera still
    // holds the last frame's until the end of the update traversal.
    QTest::newRow("the manipulator's coming view, not the camera's last") << true << false << "1 km";
    QTest::newRow("the camera's own without a manipulator") << false << true << "1 km";
    QTest::newRow("over empty space") << false << false << "";
}

void ScaleBarTest::measuresTheViewOfTheFrame()
{
    QFETCH(bool, manipulated);
    QFETCH(bool, cameraDown);
    QFETCH(QString, label);
    if (manipulated) {
        osg::ref_ptr<geo::EarthManipulator> manipulator = new geo::EarthManipulator;
        manipulator->setViewpoint(geo::Viewpoint("", 0.0, 0.0, 0.0, 0.0, -90.0, 1.0e4));
        m_viewer->setCameraManipulator(manipulator.get(), false);
    }
    if (cameraDown)
        lookDown(m_viewer->getCamera(), 1.0e4);
    else
        lookIntoSpace(m_viewer->getCamera());

    // As an update callback of a node above the overlays, on each frame.
    osg::ref_ptr<osg::Group> root = new osg::Group;
    root->addUpdateCallback(new ScaleBarHandler(m_scaleBar.get()));
    osgUtil::UpdateVisitor update;
    root->accept(update);
    QCOMPARE(QString::fromStdString(m_scaleBar->getLabel()->text()), label);
}

QTEST_GUILESS_MAIN(ScaleBarTest)
#include "tst_scalebar.moc"
