#include "OsgViewerWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <osgGA/EventQueue>

namespace {

int sceneButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::MiddleButton:
        return 2;
    case Qt::RightButton:
        return 3;
    default:
        return 0;
    }
}

// Keys without a printable character, and the modifier keys themselves.
int specialKey(int qtKey)
{
    using K = osgGA::GUIEventAdapter::KeySymbol;
    switch (qtKey) {
    case Qt::Key_Escape: return K::KEY_Escape;
    case Qt::Key_Tab: return K::KEY_Tab;
    case Qt::Key_Backspace: return K::KEY_BackSpace;
    case Qt::Key_Return: return K::KEY_Return;
    case Qt::Key_Enter: return K::KEY_KP_Enter;
    case Qt::Key_Insert: return K::KEY_Insert;
    case Qt::Key_Delete: return K::KEY_Delete;
    case Qt::Key_Pause: return K::KEY_Pause;
    case Qt::Key_Home: return K::KEY_Home;
    case Qt::Key_End: return K::KEY_End;
    case Qt::Key_Left: return K::KEY_Left;
    case Qt::Key_Up: return K::KEY_Up;
    case Qt::Key_Right: return K::KEY_Right;
    case Qt::Key_Down: return K::KEY_Down;
    case Qt::Key_PageUp: return K::KEY_Page_Up;
    case Qt::Key_PageDown: return K::KEY_Page_Down;
    case Qt::Key_Shift: return K::KEY_Shift_L;
    case Qt::Key_Control: return K::KEY_Control_L;
    case Qt::Key_Alt: return K::KEY_Alt_L;
    case Qt::Key_Meta: return K::KEY_Meta_L;
    case Qt::Key_CapsLock: return K::KEY_Caps_Lock;
    default:
        break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return K::KEY_F1 + (qtKey - Qt::Key_F1);
    return 0;
}

int sceneKey(const QKeyEvent *event)
{
    const int special = specialKey(event->key());
    if (special)
        return special;
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() >= 0x20 && text.at(0).unicode() != 0x7F)
        return text.at(0).unicode();
    // Without text (a key released after focus moved, say) the key code of
    // Latin letters and digits is their upper-case character.
    if (event->key() >= 0x20 && event->key() < 0x7F)
        return QChar(event->key()).toLower().unicode();
    return 0;
}

} // namespace

OsgViewerWidget::OsgViewerWidget(QWidget *parent) : QOpenGLWidget(parent)
{
}

OsgViewerWidget::~OsgViewerWidget()
{
    // GL objects of the scene are released in this widget's context.
    if (m_viewer.valid()) {
        makeCurrent();
        m_viewer->getCamera()->setGraphicsContext(nullptr);
        m_viewer = nullptr;
        doneCurrent();
    }
}

void OsgViewerWidget::initializeGL()
{
    const qreal ratio = devicePixelRatioF();
    m_viewer = new osgViewer::Viewer;
    m_window = m_viewer->setUpViewerAsEmbeddedInWindow(0, 0, int(width() * ratio), int(height() * ratio));
    // Frames run from paintGL on the GUI thread, which owns the context.
    m_viewer->setThreadingModel(osgViewer::ViewerBase::SingleThreaded);
    m_viewer->setRunFrameScheme(osgViewer::ViewerBase::ON_DEMAND);
    // Escape belongs to the application, not to the viewer's main loop.
    m_viewer->setKeyEventSetsDone(0);
    m_viewer->setQuitEventSetsDone(false);
    m_viewer->realize();
    // Positions are converted to the scene graph's own convention here, so
    // the events say so; the queue would otherwise assume Qt's.
    eventQueue()->getCurrentEventState()->setMouseYOrientation(osgGA::GUIEventAdapter::Y_INCREASING_UPWARDS);
    describeWindowToView(int(width() * ratio), int(height() * ratio), ratio);
    emit initialized();
}

void OsgViewerWidget::resizeGL(int width, int height)
{
    if (!m_window.valid())
        return;
    const qreal ratio = devicePixelRatioF();
    const int w = int(width * ratio), h = int(height * ratio);
    m_window->resized(0, 0, w, h);
    eventQueue()->windowResize(0, 0, w, h);
    describeWindowToView(w, h, ratio);
    forgetCachedGLState();
    update();
}

void OsgViewerWidget::paintGL()
{
    if (!m_viewer.valid() || !m_window.valid())
        return;
    // Qt renders the widget into a framebuffer object of its own, which it
    // may replace on resize; the viewer must draw into it, not the window.
    m_window->setDefaultFboId(defaultFramebufferObject());
    m_viewer->frame();
    if (m_viewer->getRunFrameScheme() == osgViewer::ViewerBase::CONTINUOUS || m_viewer->checkNeedToDoFrame())
        update();
}

void OsgViewerWidget::describeWindowToView(int width, int height, qreal ratio)
{
    m_window->setUserValue("devicePixelRatio", double(ratio));
    // The view's intersection calls that take bare window coordinates
    // (computeIntersections(x, y, ...)) read the window and its extent from
    // the view's own event state, which nothing else fills in.
    osgGA::GUIEventAdapter *state = m_viewer->getEventQueue()->getCurrentEventState();
    state->setGraphicsContext(m_window.get());
    state->setInputRange(0.0f, 0.0f, float(width), float(height));
    state->setMouseYOrientation(osgGA::GUIEventAdapter::Y_INCREASING_UPWARDS);
}

void OsgViewerWidget::forgetCachedGLState()
{
    // Qt binds textures and framebuffers of its own in this context when it
    // recreates its framebuffer; what the viewer believes is bound may no
    // longer be.
    osg::State *state = m_window->getState();
    if (!state)
        return;
    state->dirtyAllAttributes();
    state->dirtyAllModes();
    state->dirtyAllVertexArrays();
}

// ---- input -----------------------------------------------------------------

osgGA::EventQueue *OsgViewerWidget::eventQueue() const
{
    return m_window->getEventQueue();
}

void OsgViewerWidget::setModifiers(Qt::KeyboardModifiers modifiers)
{
    unsigned mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= osgGA::GUIEventAdapter::MODKEY_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= osgGA::GUIEventAdapter::MODKEY_CTRL;
    if (modifiers & Qt::AltModifier)
        mask |= osgGA::GUIEventAdapter::MODKEY_ALT;
    if (modifiers & Qt::MetaModifier)
        mask |= osgGA::GUIEventAdapter::MODKEY_META;
    eventQueue()->getCurrentEventState()->setModKeyMask(mask);
}

QPointF OsgViewerWidget::toSceneWindow(const QPointF &qtPosition) const
{
    const qreal ratio = devicePixelRatioF();
    return QPointF(qtPosition.x() * ratio, (height() - qtPosition.y()) * ratio);
}

void OsgViewerWidget::queueMouseButton(QMouseEvent *event, MouseButtonCall call)
{
    if (!m_window.valid())
        return;
    setModifiers(event->modifiers());
    const QPointF p = toSceneWindow(event->localPos());
    (eventQueue()->*call)(p.x(), p.y(), sceneButton(event->button()));
    update();
}

void OsgViewerWidget::mousePressEvent(QMouseEvent *event)
{
    queueMouseButton(event, &osgGA::EventQueue::mouseButtonPress);
}

void OsgViewerWidget::mouseReleaseEvent(QMouseEvent *event)
{
    queueMouseButton(event, &osgGA::EventQueue::mouseButtonRelease);
}

void OsgViewerWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    queueMouseButton(event, &osgGA::EventQueue::mouseDoubleButtonPress);
}

void OsgViewerWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_window.valid())
        return;
    setModifiers(event->modifiers());
    const QPointF p = toSceneWindow(event->localPos());
    eventQueue()->mouseMotion(p.x(), p.y());
    update();
}

void OsgViewerWidget::wheelEvent(QWheelEvent *event)
{
    if (!m_window.valid())
        return;
    setModifiers(event->modifiers());
    const QPoint delta = event->angleDelta();
    osgGA::GUIEventAdapter *scroll = nullptr;
    if (delta.y() != 0)
        scroll = eventQueue()->mouseScroll(delta.y() > 0 ? osgGA::GUIEventAdapter::SCROLL_UP
                                                         : osgGA::GUIEventAdapter::SCROLL_DOWN);
    else if (delta.x() != 0)
        scroll = eventQueue()->mouseScroll(delta.x() > 0 ? osgGA::GUIEventAdapter::SCROLL_LEFT
                                                         : osgGA::GUIEventAdapter::SCROLL_RIGHT);
    // The motion names the direction; the delta, in Qt's units (120 a notch
    // of a common wheel), tells how far, which high-resolution wheels and
    // touchpads split into many small events.
    if (scroll != nullptr) {
        scroll->setScrollingDeltaX(float(delta.x()));
        scroll->setScrollingDeltaY(float(delta.y()));
    }
    event->accept();
    update();
}

void OsgViewerWidget::keyPressEvent(QKeyEvent *event)
{
    if (!m_window.valid())
        return;
    setModifiers(event->modifiers());
    if (const int key = sceneKey(event))
        eventQueue()->keyPress(key);
    update();
}

void OsgViewerWidget::keyReleaseEvent(QKeyEvent *event)
{
    if (!m_window.valid() || event->isAutoRepeat())
        return;
    setModifiers(event->modifiers());
    if (const int key = sceneKey(event))
        eventQueue()->keyRelease(key);
    update();
}
