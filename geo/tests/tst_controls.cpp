// Layout of the on-screen controls and the clicks they take.

#include <QtTest>

#include <osgGA/CameraManipulator>
#include <osgViewer/Viewer>

#include "geo/ControlCanvas.h"
#include "geo/Frame.h"
#include "geo/Grid.h"
#include "geo/HBox.h"
#include "geo/ImageControl.h"
#include "geo/LabelControl.h"

using namespace geo;

Q_DECLARE_METATYPE(geo::Control::Alignment)

namespace {

constexpr int canvasWidth = 800;
constexpr int canvasHeight = 600;

osg::ref_ptr<Frame> box(float width, float height)
{
    osg::ref_ptr<Frame> frame = new Frame;
    frame->setSize(width, height);
    return frame;
}

osg::ref_ptr<osg::Image> blankImage(int width, int height)
{
    osg::ref_ptr<osg::Image> image = new osg::Image;
    image->allocateImage(width, height, 1, GL_RGBA, GL_UNSIGNED_BYTE);
    return image;
}

// Stands where the globe's manipulator stands and counts the pointer events
// that reach it unhandled: those would move the globe.
class GlobeStandIn : public osgGA::CameraManipulator
{
public:
    int unhandledPointerEvents = 0;

    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &) override
    {
        const int pointer = osgGA::GUIEventAdapter::PUSH | osgGA::GUIEventAdapter::RELEASE
            | osgGA::GUIEventAdapter::DRAG;
        if ((ea.getEventType() & pointer) && !ea.getHandled())
            ++unhandledPointerEvents;
        return false;
    }
    void setByMatrix(const osg::Matrixd &) override {}
    void setByInverseMatrix(const osg::Matrixd &) override {}
    osg::Matrixd getMatrix() const override { return {}; }
    osg::Matrixd getInverseMatrix() const override { return {}; }
};

// The control is kept by name: the control holds its handlers, and a handler
// holding the control would keep both alive forever.
struct Click {
    std::string control;
    osg::Vec2f position;
    int buttons = 0;
};

class RecordingHandler : public ControlEventHandler
{
public:
    std::vector<Click> clicks;
    void onClick(Control *control, const osg::Vec2f &position, int buttons) override
    {
        clicks.push_back({control->getName(), position, buttons});
    }
};

} // namespace

class ControlsTest : public QObject
{
    Q_OBJECT

private:
    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::ref_ptr<ControlCanvas> m_canvas;
    osg::ref_ptr<GlobeStandIn> m_globe;

    // Presses and releases at canvas points (top-left origin) through the
    // viewer's own event traversal, as the GL widget delivers them.
    void press(float x, float y) { m_viewer->getEventQueue()->mouseButtonPress(x, y, 1); }
    void release(float x, float y) { m_viewer->getEventQueue()->mouseButtonRelease(x, y, 1); }
    void drag(float x, float y) { m_viewer->getEventQueue()->mouseMotion(x, y); }
    void deliver()
    {
        // Events up to the frame's time are taken; advance to now.
        m_viewer->advance();
        m_viewer->eventTraversal();
    }

private slots:
    void initTestCase()
    {
        // A viewer without a window considers itself done and delivers no
        // events, so this one gets a real window.
        m_viewer = new osgViewer::Viewer;
        m_viewer->setUpViewInWindow(0, 0, canvasWidth, canvasHeight);
        m_viewer->realize();
        QVERIFY(m_viewer->isRealized());
        m_viewer->getCamera()->setViewport(0, 0, canvasWidth, canvasHeight);
        osgGA::GUIEventAdapter *state = m_viewer->getEventQueue()->getCurrentEventState();
        state->setInputRange(0, 0, canvasWidth, canvasHeight);
        state->setMouseYOrientation(osgGA::GUIEventAdapter::Y_INCREASING_DOWNWARDS);
        m_globe = new GlobeStandIn;
        m_viewer->setCameraManipulator(m_globe, false);
        m_canvas = ControlCanvas::getOrCreate(m_viewer.get());
        osg::ref_ptr<osg::Group> root = new osg::Group;
        root->addChild(m_canvas);
        m_viewer->setSceneData(root);
    }

    void cleanup()
    {
        while (!m_canvas->controls().empty())
            m_canvas->removeControl(m_canvas->controls().back().get());
        m_globe->unhandledPointerEvents = 0;
    }

    void cleanupTestCase()
    {
        m_viewer = nullptr;
        m_canvas = nullptr;
        m_globe = nullptr;
    }

    void canvasIsOnePerView()
    {
        QCOMPARE(ControlCanvas::getOrCreate(m_viewer.get()), m_canvas.get());
        osg::ref_ptr<osgViewer::Viewer> other = new osgViewer::Viewer;
        osg::ref_ptr<ControlCanvas> otherCanvas = ControlCanvas::getOrCreate(other.get());
        QVERIFY(otherCanvas != m_canvas);
    }

    void alignment_data()
    {
        QTest::addColumn<Control::Alignment>("horizontal");
        QTest::addColumn<Control::Alignment>("vertical");
        QTest::addColumn<float>("margin");
        QTest::addColumn<QPointF>("topLeft");
        // A 100 x 40 box on an 800 x 600 canvas.
        QTest::newRow("none is top left") << Control::ALIGN_NONE << Control::ALIGN_NONE << 0.0f << QPointF(0, 0);
        QTest::newRow("left top, margin 10") << Control::ALIGN_LEFT << Control::ALIGN_TOP << 10.0f << QPointF(10, 10);
        QTest::newRow("centre centre") << Control::ALIGN_CENTER << Control::ALIGN_CENTER << 0.0f << QPointF(350, 280);
        QTest::newRow("right top") << Control::ALIGN_RIGHT << Control::ALIGN_TOP << 0.0f << QPointF(700, 0);
        QTest::newRow("right bottom, margin 10") << Control::ALIGN_RIGHT << Control::ALIGN_BOTTOM << 10.0f
                                                 << QPointF(690, 550);
        QTest::newRow("left bottom") << Control::ALIGN_LEFT << Control::ALIGN_BOTTOM << 0.0f << QPointF(0, 560);
    }

    void alignment()
    {
        QFETCH(Control::Alignment, horizontal);
        QFETCH(Control::Alignment, vertical);
        QFETCH(float, margin);
        QFETCH(QPointF, topLeft);
        osg::ref_ptr<Frame> frame = box(100, 40);
        frame->setHorizAlign(horizontal);
        frame->setVertAlign(vertical);
        frame->setMargin(margin);
        m_canvas->addControl(frame);
        m_canvas->updateLayout();
        QCOMPARE(QPointF(frame->rect().x, frame->rect().y), topLeft);
        // The scene graph draws it with y upwards: the same box seen from
        // the bottom edge.
        const osg::Vec3d drawnAt = frame->getMatrix().getTrans();
        QCOMPARE(QPointF(drawnAt.x(), drawnAt.y()), QPointF(topLeft.x(), canvasHeight - topLeft.y() - 40));
    }

    void positionCountsFromTopLeft()
    {
        // The side buttons' row: 50 pixels apart along the top edge.
        osg::ref_ptr<ImageControl> first = new ImageControl(blankImage(40, 40).get());
        osg::ref_ptr<ImageControl> second = new ImageControl(blankImage(40, 40).get());
        first->setPosition(20, 10);
        second->setPosition(70, 10);
        m_canvas->addControl(first);
        m_canvas->addControl(second);
        m_canvas->updateLayout();
        QCOMPARE(first->rect().x, 20.0f);
        QCOMPARE(first->rect().y, 10.0f);
        QCOMPARE(second->rect().x, 70.0f);
        QCOMPARE(first->getMatrix().getTrans().y(), double(canvasHeight - 10 - 40));
    }

    void paddingBySide()
    {
        osg::ref_ptr<ImageControl> image = new ImageControl(blankImage(32, 16).get());
        image->setPadding(Control::SIDE_TOP, 1);
        image->setPadding(Control::SIDE_BOTTOM, 2);
        image->setPadding(Control::SIDE_LEFT, 3);
        image->setPadding(Control::SIDE_RIGHT, 4);
        m_canvas->addControl(image);
        m_canvas->updateLayout();
        QCOMPARE(image->rect().width, 39.0f);
        QCOMPARE(image->rect().height, 19.0f);
    }

    void labelGrowsWithItsText()
    {
        osg::ref_ptr<LabelControl> label = new LabelControl("0.0", 20.0f);
        m_canvas->addControl(label);
        m_canvas->updateLayout();
        const float shortWidth = label->rect().width;
        QVERIFY(shortWidth > 0.0f);
        QVERIFY(label->rect().height >= 20.0f);
        label->setText("359.99 degrees");
        m_canvas->updateLayout();
        QVERIFY(label->rect().width > 2 * shortWidth);
    }

    void horizontalBox()
    {
        osg::ref_ptr<HBox> row = new HBox;
        row->setChildSpacing(5);
        row->setPadding(2);
        row->setHorizAlign(Control::ALIGN_RIGHT);
        row->setVertAlign(Control::ALIGN_TOP);
        osg::ref_ptr<Frame> tall = box(30, 20);
        osg::ref_ptr<Frame> hidden = box(500, 500);
        hidden->setVisible(false);
        osg::ref_ptr<Frame> filling = new Frame;
        filling->setWidth(50);
        filling->setVertFill(true, 0);
        row->addControl(tall);
        row->addControl(hidden);
        row->addControl(filling);
        m_canvas->addControl(row);
        m_canvas->updateLayout();
        // 2 + 30 + 5 + 50 + 2 wide, 2 + 20 + 2 high, against the right edge.
        QCOMPARE(row->rect().width, 89.0f);
        QCOMPARE(row->rect().height, 24.0f);
        QCOMPARE(row->rect().x, 800.0f - 89.0f);
        QCOMPARE(tall->rect().x, 800.0f - 87.0f);
        QCOMPARE(filling->rect().x, 800.0f - 52.0f);
        QCOMPARE(filling->rect().height, 20.0f);
    }

    void gridOfButtons()
    {
        // The zoom buttons: column 1, rows 1 and 2, spacing 20, padding 25,
        // in the bottom-right corner.
        osg::ref_ptr<ImageControl> zoomIn = new ImageControl(blankImage(40, 40).get());
        osg::ref_ptr<ImageControl> zoomOut = new ImageControl(blankImage(40, 40).get());
        osg::ref_ptr<Grid> grid = new Grid;
        grid->setControl(1, 1, zoomIn);
        grid->setControl(1, 2, zoomOut);
        grid->setChildSpacing(20);
        grid->setPadding(25);
        grid->setHorizAlign(Control::ALIGN_RIGHT);
        grid->setVertAlign(Control::ALIGN_BOTTOM);
        m_canvas->addControl(grid);
        m_canvas->updateLayout();
        QCOMPARE(grid->rect().width, 90.0f);
        QCOMPARE(grid->rect().height, 150.0f);
        QCOMPARE(QPointF(zoomIn->rect().x, zoomIn->rect().y), QPointF(735, 475));
        QCOMPARE(QPointF(zoomOut->rect().x, zoomOut->rect().y), QPointF(735, 535));
        QCOMPARE(grid->getControl(1, 2), zoomOut.get());
    }

    void rotationKeepsFixedSize_data()
    {
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<float>("expectedWidth");
        QTest::newRow("free, turned 45") << false << 45.0 << float(150.0 / std::sqrt(2.0));
        QTest::newRow("free, turned 90") << false << 90.0 << 50.0f;
        QTest::newRow("fixed, turned 45") << true << 45.0 << 100.0f;
    }

    void rotationKeepsFixedSize()
    {
        QFETCH(bool, fixed);
        QFETCH(double, degrees);
        QFETCH(float, expectedWidth);
        osg::ref_ptr<ImageControl> image = new ImageControl(blankImage(100, 50).get());
        image->setFixSizeForRotation(fixed);
        image->setRotation(Angle(degrees));
        m_canvas->addControl(image);
        m_canvas->updateLayout();
        QVERIFY2(std::fabs(image->rect().width - expectedWidth) < 0.01f, qPrintable(QString::number(image->rect().width)));
    }

    void clicks_data()
    {
        QTest::addColumn<QPointF>("pressAt");
        QTest::addColumn<QPointF>("releaseAt");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QPointF>("within");
        QTest::addColumn<int>("reachingGlobe");
        // A button at (20, 10), 40 x 40; a grid with a button in the
        // bottom-right corner; a compass-like image that lets clicks through.
        QTest::newRow("on the button") << QPointF(30, 15) << QPointF(30, 15) << "button" << QPointF(10, 5) << 0;
        QTest::newRow("off every control") << QPointF(400, 300) << QPointF(400, 300) << "" << QPointF() << 2;
        QTest::newRow("released elsewhere") << QPointF(30, 15) << QPointF(400, 300) << "" << QPointF() << 0;
        QTest::newRow("grid padding") << QPointF(715, 520) << QPointF(715, 520) << "" << QPointF() << 2;
        QTest::newRow("button in grid") << QPointF(740, 540) << QPointF(740, 540) << "zoom" << QPointF(5, 5) << 0;
        QTest::newRow("see-through image") << QPointF(790, 5) << QPointF(790, 5) << "rose" << QPointF(90, 5) << 2;
        QTest::newRow("hidden control") << QPointF(300, 15) << QPointF(300, 15) << "" << QPointF() << 2;
    }

    void clicks()
    {
        QFETCH(QPointF, pressAt);
        QFETCH(QPointF, releaseAt);
        QFETCH(QString, clicked);
        QFETCH(QPointF, within);
        QFETCH(int, reachingGlobe);

        osg::ref_ptr<RecordingHandler> handler = new RecordingHandler;
        osg::ref_ptr<ImageControl> button = new ImageControl(blankImage(40, 40).get());
        button->setName("button");
        button->setPosition(20, 10);
        osg::ref_ptr<ImageControl> zoom = new ImageControl(blankImage(40, 40).get());
        zoom->setName("zoom");
        osg::ref_ptr<Grid> grid = new Grid;
        grid->setControl(1, 1, zoom);
        grid->setPadding(25);
        grid->setHorizAlign(Control::ALIGN_RIGHT);
        grid->setVertAlign(Control::ALIGN_BOTTOM);
        osg::ref_ptr<ImageControl> rose = new ImageControl(blankImage(100, 100).get());
        rose->setName("rose");
        rose->setAbsorbEvents(false);
        rose->setHorizAlign(Control::ALIGN_RIGHT);
        osg::ref_ptr<ImageControl> hidden = new ImageControl(blankImage(40, 40).get());
        hidden->setPosition(280, 10);
        hidden->setVisible(false);
        for (Control *control : {static_cast<Control *>(button.get()), static_cast<Control *>(zoom.get()),
                                 static_cast<Control *>(rose.get()), static_cast<Control *>(hidden.get())})
            control->addEventHandler(handler);
        for (Control *control : {static_cast<Control *>(button.get()), static_cast<Control *>(grid.get()),
                                 static_cast<Control *>(rose.get()), static_cast<Control *>(hidden.get())})
            m_canvas->addControl(control);
        m_canvas->updateLayout();

        press(pressAt.x(), pressAt.y());
        if (pressAt != releaseAt)
            drag(releaseAt.x(), releaseAt.y());
        release(releaseAt.x(), releaseAt.y());
        deliver();

        if (clicked.isEmpty()) {
            QCOMPARE(handler->clicks.size(), size_t(0));
        } else {
            QCOMPARE(handler->clicks.size(), size_t(1));
            QCOMPARE(QString::fromStdString(handler->clicks[0].control), clicked);
            QCOMPARE(QPointF(handler->clicks[0].position.x(), handler->clicks[0].position.y()), within);
            QCOMPARE(handler->clicks[0].buttons, int(osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON));
        }
        // A drag that began on a button is the button's too.
        const int expectedAtGlobe = pressAt != releaseAt ? 0 : reachingGlobe;
        QCOMPARE(m_globe->unhandledPointerEvents, expectedAtGlobe);
    }
};

QTEST_GUILESS_MAIN(ControlsTest)
#include "tst_controls.moc"
