// The scene-graph viewer inside a Qt OpenGL widget, under a virtual
// display: start-up, drawing into the widget, and Qt input reaching the
// viewer in the scene graph's own window convention.

#include <QSignalSpy>
#include <QtTest>

#include <osg/Geode>
#include <osg/Geometry>
#include <osgGA/GUIEventHandler>
#include <osgUtil/LineSegmentIntersector>

#include "OsgViewerWidget.h"

namespace {

struct SeenEvent
{
    int type;
    float x, y;
    int button, buttonMask, key, scroll, modifiers;
    int windowWidth, windowHeight;
    QPointF scrollDelta;
};

class EventRecorder : public osgGA::GUIEventHandler
{
public:
    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa) override
    {
        if (ea.getEventType() == osgGA::GUIEventAdapter::FRAME)
            return false;
        events.push_back({ea.getEventType(), ea.getX(), ea.getY(), ea.getButton(), int(ea.getButtonMask()),
                          ea.getKey(), ea.getScrollingMotion(), int(ea.getModKeyMask()),
                          ea.getWindowWidth(), ea.getWindowHeight(),
                          QPointF(ea.getScrollingDeltaX(), ea.getScrollingDeltaY())});
        if (ea.getEventType() == osgGA::GUIEventAdapter::RELEASE) {
            // What the globe does with a click: intersect at the event's x, y.
            osgUtil::LineSegmentIntersector::Intersections hits;
            osgViewer::View *view = dynamic_cast<osgViewer::View *>(&aa);
            releasedOnScene.push_back(view && view->computeIntersections(ea.getX(), ea.getY(), hits));
        }
        return false;
    }

    bool sawType(int type) const
    {
        return std::any_of(events.begin(), events.end(), [type](const SeenEvent &e) { return e.type == type; });
    }

    std::vector<SeenEvent> events;
    std::vector<bool> releasedOnScene;
};

// A green rectangle over the upper half of the view.
osg::Node *upperHalf()
{
    osg::ref_ptr<osg::Geometry> quad = osg::createTexturedQuadGeometry(
        osg::Vec3(-1.0f, 0.0f, 0.0f), osg::Vec3(2.0f, 0.0f, 0.0f), osg::Vec3(0.0f, 1.0f, 0.0f));
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    colours->push_back(osg::Vec4(0.0f, 1.0f, 0.0f, 1.0f));
    quad->setColorArray(colours.get(), osg::Array::BIND_OVERALL);
    osg::Geode *geode = new osg::Geode;
    geode->addDrawable(quad.get());
    geode->getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    return geode;
}

const int kWidth = 320, kHeight = 200;

} // namespace

class OsgViewerWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void startsWithAViewerOnce();
    void drawsIntoTheWidget();
    void mouseReachesTheViewer_data();
    void mouseReachesTheViewer();
    void clickPicksWhatIsUnderThePointer_data();
    void clickPicksWhatIsUnderThePointer();
    void wheelReachesTheViewer_data();
    void wheelReachesTheViewer();
    void keysReachTheViewer_data();
    void keysReachTheViewer();
    void resizeReachesTheViewer();
    void framesRunContinuouslyWhenAsked();

private:
    const SeenEvent *waitFor(int type);

    OsgViewerWidget *m_widget = nullptr;
    osg::ref_ptr<EventRecorder> m_recorder;
    int m_initializedCount = 0;
};

void OsgViewerWidgetTest::initTestCase()
{
    m_widget = new OsgViewerWidget;
    QVERIFY(!m_widget->getOsgViewer());
    connect(m_widget, &OsgViewerWidget::initialized, this, [this] { ++m_initializedCount; });
    m_widget->resize(kWidth, kHeight);
    // Moves without a button held arrive only while tracking, as the globe has it.
    m_widget->setMouseTracking(true);
    m_widget->show();
    QTRY_COMPARE_WITH_TIMEOUT(m_initializedCount, 1, 10000);

    osgViewer::Viewer *viewer = m_widget->getOsgViewer();
    QVERIFY(viewer);
    osg::Camera *camera = viewer->getCamera();
    camera->setProjectionMatrixAsOrtho(-1.0, 1.0, -1.0, 1.0, -10.0, 10.0);
    camera->setViewMatrix(osg::Matrixd::identity());
    camera->setComputeNearFarMode(osg::CullSettings::DO_NOT_COMPUTE_NEAR_FAR);
    camera->setClearColor(osg::Vec4(1.0f, 0.0f, 0.0f, 1.0f));
    viewer->setSceneData(upperHalf());
    m_recorder = new EventRecorder;
    viewer->addEventHandler(m_recorder.get());
}

void OsgViewerWidgetTest::cleanupTestCase()
{
    delete m_widget;
}

void OsgViewerWidgetTest::init()
{
    m_recorder->events.clear();
    m_recorder->releasedOnScene.clear();
}

const SeenEvent *OsgViewerWidgetTest::waitFor(int type)
{
    // Input is handled in the next frame the widget draws.
    if (!QTest::qWaitFor([&] { return m_recorder->sawType(type); }, 5000))
        return nullptr;
    for (const SeenEvent &e : m_recorder->events)
        if (e.type == type)
            return &e;
    return nullptr;
}

void OsgViewerWidgetTest::startsWithAViewerOnce()
{
    const osg::Viewport *viewport = m_widget->getOsgViewer()->getCamera()->getViewport();
    QVERIFY(viewport);
    QCOMPARE(int(viewport->width()), kWidth);
    QCOMPARE(int(viewport->height()), kHeight);
    QCOMPARE(m_widget->getOsgViewer()->getThreadingModel(), osgViewer::ViewerBase::SingleThreaded);
    m_widget->hide();
    m_widget->show();
    m_widget->grabFramebuffer();
    QCOMPARE(m_initializedCount, 1);
}

void OsgViewerWidgetTest::drawsIntoTheWidget()
{
    const QImage image = m_widget->grabFramebuffer();
    QCOMPARE(image.size(), QSize(kWidth, kHeight));
    QCOMPARE(QColor(image.pixel(kWidth / 2, kHeight / 4)), QColor(Qt::green));
    QCOMPARE(QColor(image.pixel(kWidth / 2, 3 * kHeight / 4)), QColor(Qt::red));
}

void OsgViewerWidgetTest::mouseReachesTheViewer_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("qtButton");
    QTest::addColumn<int>("expectedType");
    QTest::addColumn<int>("expectedButton");

    using E = osgGA::GUIEventAdapter;
    QTest::newRow("left press") << "press" << int(Qt::LeftButton) << int(E::PUSH) << int(E::LEFT_MOUSE_BUTTON);
    QTest::newRow("right press") << "press" << int(Qt::RightButton) << int(E::PUSH) << int(E::RIGHT_MOUSE_BUTTON);
    QTest::newRow("middle press") << "press" << int(Qt::MiddleButton) << int(E::PUSH) << int(E::MIDDLE_MOUSE_BUTTON);
    QTest::newRow("left release") << "release" << int(Qt::LeftButton) << int(E::RELEASE) << int(E::LEFT_MOUSE_BUTTON);
    QTest::newRow("right release") << "release" << int(Qt::RightButton) << int(E::RELEASE) << int(E::RIGHT_MOUSE_BUTTON);
    QTest::newRow("double click") << "double" << int(Qt::LeftButton) << int(E::DOUBLECLICK) << int(E::LEFT_MOUSE_BUTTON);
    QTest::newRow("move") << "move" << int(Qt::NoButton) << int(E::MOVE) << 0;
}

void OsgViewerWidgetTest::mouseReachesTheViewer()
{
    QFETCH(QString, action);
    QFETCH(int, qtButton);
    const Qt::MouseButton button = Qt::MouseButton(qtButton);
    QFETCH(int, expectedType);
    QFETCH(int, expectedButton);

    const QPoint at(30, 40);
    if (action == "press") {
        QTest::mousePress(m_widget, button, Qt::NoModifier, at);
        QTest::mouseRelease(m_widget, button, Qt::NoModifier, at);
    } else if (action == "release") {
        QTest::mouseClick(m_widget, button, Qt::NoModifier, at);
    } else if (action == "double") {
        // A double click ends with a release, which the test tool leaves out.
        QTest::mouseDClick(m_widget, button, Qt::NoModifier, at);
        QTest::mouseRelease(m_widget, button, Qt::NoModifier, at);
    } else {
        QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_widget, &move);
    }
    const SeenEvent *seen = waitFor(expectedType);
    QVERIFY(seen);
    // The scene graph counts window rows from the bottom.
    QCOMPARE(seen->x, float(at.x()));
    QCOMPARE(seen->y, float(kHeight - at.y()));
    if (expectedType != osgGA::GUIEventAdapter::MOVE)
        QCOMPARE(seen->button, expectedButton);
}

void OsgViewerWidgetTest::clickPicksWhatIsUnderThePointer_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("onScene");

    QTest::newRow("on the green upper half") << kHeight / 4 << true;
    QTest::newRow("on the empty lower half") << 3 * kHeight / 4 << false;
}

void OsgViewerWidgetTest::clickPicksWhatIsUnderThePointer()
{
    QFETCH(int, y);
    QFETCH(bool, onScene);

    QTest::mouseClick(m_widget, Qt::LeftButton, Qt::NoModifier, QPoint(kWidth / 2, y));
    QVERIFY(waitFor(osgGA::GUIEventAdapter::RELEASE));
    QCOMPARE(m_recorder->releasedOnScene.size(), size_t(1));
    QCOMPARE(bool(m_recorder->releasedOnScene.front()), onScene);
}

void OsgViewerWidgetTest::wheelReachesTheViewer_data()
{
    QTest::addColumn<QPoint>("angleDelta");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("motion");
    QTest::addColumn<int>("modKeys");

    using E = osgGA::GUIEventAdapter;
    QTest::newRow("up") << QPoint(0, 120) << Qt::KeyboardModifiers() << int(E::SCROLL_UP) << 0;
    QTest::newRow("down") << QPoint(0, -120) << Qt::KeyboardModifiers() << int(E::SCROLL_DOWN) << 0;
    QTest::newRow("up with Ctrl") << QPoint(0, 120) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                  << int(E::SCROLL_UP) << int(E::MODKEY_CTRL);
    QTest::newRow("sideways") << QPoint(-120, 0) << Qt::KeyboardModifiers() << int(E::SCROLL_RIGHT) << 0;
    // A touchpad's or fine wheel's small step keeps its size.
    QTest::newRow("an eighth of a notch") << QPoint(0, 15) << Qt::KeyboardModifiers() << int(E::SCROLL_UP) << 0;
    QTest::newRow("two notches down") << QPoint(0, -240) << Qt::KeyboardModifiers() << int(E::SCROLL_DOWN) << 0;
}

void OsgViewerWidgetTest::wheelReachesTheViewer()
{
    QFETCH(QPoint, angleDelta);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, motion);
    QFETCH(int, modKeys);

    const QPointF at(50, 50);
    QWheelEvent wheel(at, m_widget->mapToGlobal(at.toPoint()), QPoint(), angleDelta, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_widget, &wheel);
    const SeenEvent *seen = waitFor(osgGA::GUIEventAdapter::SCROLL);
    QVERIFY(seen);
    QCOMPARE(seen->scroll, motion);
    QCOMPARE(seen->modifiers, modKeys);
    QCOMPARE(seen->scrollDelta, QPointF(angleDelta));
}

void OsgViewerWidgetTest::keysReachTheViewer_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sceneKey");

    using E = osgGA::GUIEventAdapter;
    QTest::newRow("zero") << int(Qt::Key_0) << "0" << int('0');
    QTest::newRow("one") << int(Qt::Key_1) << "1" << int('1');
    QTest::newRow("letter") << int(Qt::Key_A) << "a" << int('a');
    QTest::newRow("escape") << int(Qt::Key_Escape) << "\x1b" << int(E::KEY_Escape);
    QTest::newRow("left arrow") << int(Qt::Key_Left) << "" << int(E::KEY_Left);
    QTest::newRow("F5") << int(Qt::Key_F5) << "" << int(E::KEY_F5);
}

void OsgViewerWidgetTest::keysReachTheViewer()
{
    QFETCH(int, qtKey);
    QFETCH(QString, text);
    QFETCH(int, sceneKey);

    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
    QCoreApplication::sendEvent(m_widget, &press);
    QCoreApplication::sendEvent(m_widget, &release);
    const SeenEvent *down = waitFor(osgGA::GUIEventAdapter::KEYDOWN);
    const SeenEvent *up = waitFor(osgGA::GUIEventAdapter::KEYUP);
    QVERIFY(down && up);
    QCOMPARE(down->key, sceneKey);
    QCOMPARE(up->key, sceneKey);
    // Escape is the application's, not a request to end the viewer.
    QVERIFY(!m_widget->getOsgViewer()->done());
}

void OsgViewerWidgetTest::resizeReachesTheViewer()
{
    m_widget->resize(kWidth + 80, kHeight + 40);
    const SeenEvent *seen = waitFor(osgGA::GUIEventAdapter::RESIZE);
    QVERIFY(seen);
    QCOMPARE(seen->windowWidth, kWidth + 80);
    QCOMPARE(seen->windowHeight, kHeight + 40);
    const osg::Viewport *viewport = m_widget->getOsgViewer()->getCamera()->getViewport();
    QCOMPARE(int(viewport->width()), kWidth + 80);
    QCOMPARE(int(viewport->height()), kHeight + 40);

    // Drawing and picking follow the new size.
    const QImage image = m_widget->grabFramebuffer();
    QCOMPARE(image.size(), QSize(kWidth + 80, kHeight + 40));
    QCOMPARE(QColor(image.pixel(10, 10)), QColor(Qt::green));
    QCOMPARE(QColor(image.pixel(10, image.height() - 10)), QColor(Qt::red));
    QTest::mouseClick(m_widget, Qt::LeftButton, Qt::NoModifier, QPoint(kWidth + 70, 5));
    QVERIFY(waitFor(osgGA::GUIEventAdapter::RELEASE));
    QVERIFY(m_recorder->releasedOnScene.back());

    m_widget->resize(kWidth, kHeight);
}

void OsgViewerWidgetTest::framesRunContinuouslyWhenAsked()
{
    osgViewer::Viewer *viewer = m_widget->getOsgViewer();
    viewer->setRunFrameScheme(osgViewer::ViewerBase::CONTINUOUS);
    m_widget->update();
    const unsigned start = viewer->getFrameStamp()->getFrameNumber();
    QTRY_VERIFY_WITH_TIMEOUT(viewer->getFrameStamp()->getFrameNumber() >= start + 20, 10000);
    viewer->setRunFrameScheme(osgViewer::ViewerBase::ON_DEMAND);
}

QTEST_MAIN(OsgViewerWidgetTest)
#include "tst_osgviewerwidget.moc"
