#pragma once

#include <QOpenGLWidget>

#include <osg/observer_ptr>
#include <osg/ref_ptr>
#include <osgGA/EventQueue>
#include <osgViewer/GraphicsWindow>
#include <osgViewer/Viewer>

// A Qt widget that shows an OpenSceneGraph viewer. The viewer renders into
// the widget's OpenGL framebuffer, on the GUI thread, from paintGL; Qt's
// mouse, wheel, key and resize events reach the viewer's event queue.
//
// The viewer exists once the GL context does: initialized() is emitted then,
// and getOsgViewer() is null before. The viewer starts single-threaded and
// renders on demand (after input, or while something in the scene asks for
// frames); set its run-frame scheme to CONTINUOUS to draw frame after frame.
//
// Mouse positions reach the scene graph in its own window convention, the
// origin at the bottom left (Qt counts from the top), in device pixels, so
// an event's getX()/getY() can go straight to the view's intersection calls.
// The viewer's graphics window holds the widget's device pixels per Qt pixel
// as its user value "devicePixelRatio" (a double), for overlays that lay
// themselves out in the pixels an operator's desktop is scaled by.
class OsgViewerWidget : public QOpenGLWidget
{
    Q_OBJECT
public:
    explicit OsgViewerWidget(QWidget *parent = nullptr);
    ~OsgViewerWidget() override;

    osgViewer::Viewer *getOsgViewer() const { return m_viewer.get(); }

signals:
    void initialized();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    using MouseButtonCall = osgGA::GUIEventAdapter *(osgGA::EventQueue::*)(float, float, unsigned int);

    osgGA::EventQueue *eventQueue() const;
    void queueMouseButton(QMouseEvent *event, MouseButtonCall call);
    void setModifiers(Qt::KeyboardModifiers modifiers);
    QPointF toSceneWindow(const QPointF &qtPosition) const;
    void describeWindowToView(int width, int height, qreal ratio);
    void forgetCachedGLState();

    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::observer_ptr<osgViewer::GraphicsWindowEmbedded> m_window;
};
