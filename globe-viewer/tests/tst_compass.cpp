#include <QtTest>

#include <osgGA/GUIEventAdapter>
#include <osgViewer/Viewer>

#include "Compass.h"
#include "geo/EarthManipulator.h"

Q_DECLARE_METATYPE(QVector<double>)

namespace {

const std::string roseImage = STATION_BIN_DIR "/data/compass.png";

} // namespace

class CompassTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void attachesItsThreeControls();
    void followsTheHeading_data();
    void followsTheHeading();
    void withoutItsImageStaysInert();
    void detachingLeavesTheView();

private:
    void turnTo(double headingDegrees);
    void frame();
    const geo::ImageControl *rose() const;
    const geo::LabelControl *readout() const;

    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::ref_ptr<geo::EarthManipulator> m_manipulator;
    osg::ref_ptr<geo::ControlCanvas> m_canvas;
};

void CompassTest::init()
{
    m_viewer = new osgViewer::Viewer;
    m_manipulator = new geo::EarthManipulator;
    m_viewer->setCameraManipulator(m_manipulator.get(), false);
    m_canvas = geo::ControlCanvas::getOrCreate(m_viewer.get());
}

void CompassTest::cleanup()
{
    m_canvas = nullptr;
    m_manipulator = nullptr;
    m_viewer = nullptr;
}

void CompassTest::turnTo(double headingDegrees)
{
    m_manipulator->setViewpoint(geo::Viewpoint("", 114.0, 22.5, 0.0, headingDegrees, -60.0, 1.0e5));
}

void CompassTest::frame()
{
    osg::ref_ptr<osgGA::GUIEventAdapter> event = new osgGA::GUIEventAdapter;
    event->setEventType(osgGA::GUIEventAdapter::FRAME);
    for (const auto &handler : m_viewer->getEventHandlers()) {
        auto *gui = dynamic_cast<osgGA::GUIEventHandler *>(handler.get());
        QVERIFY(gui != nullptr);
        QVERIFY(!gui->handle(*event, *m_viewer, nullptr, nullptr));
    }
}

const geo::ImageControl *CompassTest::rose() const
{
    return dynamic_cast<const geo::ImageControl *>(m_canvas->controls().at(0).get());
}

const geo::LabelControl *CompassTest::readout() const
{
    return dynamic_cast<const geo::LabelControl *>(m_canvas->controls().at(1).get());
}

void CompassTest::attachesItsThreeControls()
{
    osg::ref_ptr<Compass> compass = new Compass(roseImage, m_canvas.get());
    compass->setView(m_viewer.get());

    QCOMPARE(compass->getView(), static_cast<osg::View *>(m_viewer.get()));
    QCOMPARE(compass->getImageHeight(), 128);
    const auto &controls = m_canvas->controls();
    QCOMPARE(controls.size(), size_t(3));
    QCOMPARE(controls[0]->getName(), std::string("Compass Image"));
    QCOMPARE(controls[1]->getName(), std::string("Compass Readout"));
    QCOMPARE(controls[2]->getName(), std::string("Compass Pointer"));
    // The overlay never keeps a click from the globe under it.
    for (const auto &control : controls)
        QVERIFY(!control->absorbEvents());
    QCOMPARE(readout()->text(), std::string("0.0"));
    QCOMPARE(m_viewer->getEventHandlers().size(), size_t(1));

    // A second view is refused while one is attached.
    osg::ref_ptr<osgViewer::Viewer> other = new osgViewer::Viewer;
    compass->setView(other.get());
    QCOMPARE(compass->getView(), static_cast<osg::View *>(m_viewer.get()));
    QVERIFY(other->getEventHandlers().empty());
    QCOMPARE(m_canvas->controls().size(), size_t(3));
}

void CompassTest::followsTheHeading_data()
{
    // Headings the camera takes, one per frame; after the last frame the
    // readout and the rose's rotation are checked, and how often the
    // heading was reported.
    QTest::addColumn<QVector<double>>("headings");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("rotation");
    QTest::addColumn<int>("reports");

    QTest::newRow("north at start keeps the start text") << QVector<double>{0.0, 0.0} << "0.0" << 0.0 << 0;
    QTest::newRow("a first move under a hundredth") << QVector<double>{0.0, 0.009} << "0.0" << 0.0 << 0;
    QTest::newRow("a first move of a hundredth") << QVector<double>{0.0, 0.011} << "0.01" << -0.011 << 1;
    QTest::newRow("east") << QVector<double>{90.0} << "90.00" << -90.0 << 1;
    QTest::newRow("almost north after east") << QVector<double>{90.0, 359.995} << "0.00" << 0.0 << 2;
    QTest::newRow("just short of north stays")
        << QVector<double>{90.0, 359.98} << "359.98" << -359.98 << 2;
    QTest::newRow("a still camera touches nothing")
        << QVector<double>{45.0, 45.005, 45.0, 44.995} << "45.00" << -45.0 << 1;
    QTest::newRow("small steps that add up") << QVector<double>{45.0, 45.006, 45.012} << "45.01" << -45.012 << 2;
    QTest::newRow("west of north") << QVector<double>{-30.0} << "330.00" << -330.0 << 1;
    QTest::newRow("two decimals rounded") << QVector<double>{123.456} << "123.46" << -123.456 << 1;
}

void CompassTest::followsTheHeading()
{
    QFETCH(QVector<double>, headings);
    QFETCH(QString, text);
    QFETCH(double, rotation);
    QFETCH(int, reports);

    osg::ref_ptr<Compass> compass = new Compass(roseImage, m_canvas.get());
    int reported = 0;
    compass->setHeadingCallback([&reported](double) { ++reported; });
    compass->setView(m_viewer.get());
    for (double heading : headings) {
        turnTo(heading);
        frame();
    }

    QCOMPARE(QString::fromStdString(readout()->text()), text);
    QVERIFY2(std::fabs(rose()->getRotation().as(geo::Units::DEGREES) - rotation) < 1e-9,
             qPrintable(QString::number(rose()->getRotation().as(geo::Units::DEGREES), 'f', 6)));
    QCOMPARE(reported, reports);
}

void CompassTest::withoutItsImageStaysInert()
{
    osg::ref_ptr<Compass> compass = new Compass(STATION_BIN_DIR "/data/no-such-rose.png", m_canvas.get());
    int reported = 0;
    compass->setHeadingCallback([&reported](double) { ++reported; });
    compass->setView(m_viewer.get());
    turnTo(90.0);
    frame();
    compass->updateHeading();

    QVERIFY(m_canvas->controls().empty());
    QVERIFY(m_viewer->getEventHandlers().empty());
    QCOMPARE(compass->getView(), static_cast<osg::View *>(nullptr));
    QCOMPARE(compass->getImageHeight(), 0);
    QCOMPARE(reported, 0);
}

void CompassTest::detachingLeavesTheView()
{
    osg::ref_ptr<Compass> compass = new Compass(roseImage, m_canvas.get());
    compass->setView(m_viewer.get());
    compass->setView(nullptr);
    QVERIFY(m_canvas->controls().empty());
    QVERIFY(m_viewer->getEventHandlers().empty());
    QCOMPARE(compass->getView(), static_cast<osg::View *>(nullptr));

    // Attached again, and then released: the view no longer calls it.
    compass->setView(m_viewer.get());
    QCOMPARE(m_viewer->getEventHandlers().size(), size_t(1));
    compass = nullptr;
    QVERIFY(m_viewer->getEventHandlers().empty());
    turnTo(90.0);
    frame();
}

QTEST_GUILESS_MAIN(CompassTest)
#include "tst_compass.moc"
