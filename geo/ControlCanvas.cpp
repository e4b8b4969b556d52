#include "geo/ControlCanvas.h"

#include <osg/BlendFunc>
#include <osg/ValueObject>
#include <osgGA/GUIEventHandler>

#include <algorithm>
#include <utility>

#include "geo/ControlEventHandler.h"
#include "geo/FontFileLookup.h"

namespace geo {

namespace {

// One canvas per view; both sides observed so that neither is kept alive
// by the other and a view at a reused address never finds a stale canvas.
std::vector<std::pair<osg::observer_ptr<osg::View>, osg::observer_ptr<ControlCanvas>>> &registry()
{
    static std::vector<std::pair<osg::observer_ptr<osg::View>, osg::observer_ptr<ControlCanvas>>> canvases;
    return canvases;
}

} // namespace

// Delivers clicks to the control under the pointer. A press starts a click
// only on a control; the click happens when the button is released over the
// same control. While a press that began on an absorbing control lasts, the
// pointer's events are marked handled so the manipulator leaves the globe
// alone.
class ControlCanvas::EventRouter : public osgGA::GUIEventHandler
{
public:
    explicit EventRouter(ControlCanvas *canvas)
        : m_canvas(canvas)
    {
    }

    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &, osg::Object *,
                osg::NodeVisitor *) override
    {
        switch (ea.getEventType()) {
        case osgGA::GUIEventAdapter::PUSH:
            m_pressed = m_canvas->controlAt(canvasPoint(ea));
            return m_pressed.valid() && m_pressed->absorbEvents();
        case osgGA::GUIEventAdapter::DRAG:
        case osgGA::GUIEventAdapter::DOUBLECLICK:
            return m_pressed.valid() && m_pressed->absorbEvents();
        case osgGA::GUIEventAdapter::RELEASE:
            return release(ea);
        default:
            return false;
        }
    }

private:
    osg::Vec2f canvasPoint(const osgGA::GUIEventAdapter &ea) const
    {
        // Events count device pixels; upward positions count from the bottom
        // edge of the view, which is the canvas' height away from its top.
        const float x = (ea.getX() - ea.getXmin()) / m_canvas->m_ratio;
        const float y = (ea.getY() - ea.getYmin()) / m_canvas->m_ratio;
        return osg::Vec2f(x, ea.getMouseYOrientation() == osgGA::GUIEventAdapter::Y_INCREASING_UPWARDS
                                 ? m_canvas->size().y() - y
                                 : y);
    }

    bool release(const osgGA::GUIEventAdapter &ea)
    {
        osg::ref_ptr<Control> pressed;
        if (!m_pressed.lock(pressed))
            return false;
        m_pressed = nullptr;
        const osg::Vec2f point = canvasPoint(ea);
        if (m_canvas->controlAt(point) == pressed.get()) {
            const osg::Vec2f local = point - osg::Vec2f(pressed->rect().x, pressed->rect().y);
            // Handlers may remove controls; hold them for the loop.
            const auto handlers = pressed->eventHandlers();
            for (const auto &handler : handlers)
                handler->onClick(pressed.get(), local, ea.getButton());
        }
        return pressed->absorbEvents();
    }

    ControlCanvas *m_canvas;
    osg::observer_ptr<Control> m_pressed;
};

class ControlCanvas::LayoutCallback : public osg::NodeCallback
{
public:
    void operator()(osg::Node *node, osg::NodeVisitor *nv) override
    {
        static_cast<ControlCanvas *>(node)->updateLayout();
        traverse(node, nv);
    }
};

ControlCanvas *ControlCanvas::getOrCreate(osg::View *view)
{
    if (!view)
        return nullptr;
    auto &canvases = registry();
    canvases.erase(std::remove_if(canvases.begin(), canvases.end(),
                                  [](const auto &entry) { return !entry.first.valid() || !entry.second.valid(); }),
                   canvases.end());
    for (const auto &entry : canvases) {
        if (entry.first.get() == view)
            return entry.second.get();
    }
    // The registry only observes: the caller (normally the scene graph the
    // canvas joins) keeps it alive, as the view's own objects would.
    ControlCanvas *canvas = new ControlCanvas(view);
    canvases.emplace_back(view, canvas);
    return canvas;
}

ControlCanvas::ControlCanvas(osg::View *view)
    : m_view(view)
{
    FontFileLookup::install();
    setName("ControlCanvas");
    setReferenceFrame(osg::Transform::ABSOLUTE_RF);
    setViewMatrix(osg::Matrix::identity());
    setClearMask(GL_DEPTH_BUFFER_BIT);
    setRenderOrder(osg::Camera::POST_RENDER);
    setAllowEventFocus(false);
    // Overlays have no depth and no lighting; later controls cover earlier
    // ones, so they draw in the order of the graph.
    osg::StateSet *state = getOrCreateStateSet();
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF | osg::StateAttribute::PROTECTED);
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    state->setAttributeAndModes(new osg::BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA));
    state->setRenderBinDetails(0, "TraversalOrderBin", osg::StateSet::OVERRIDE_RENDERBIN_DETAILS);
    setEventCallback(new EventRouter(this));
    setUpdateCallback(new LayoutCallback);
}

void ControlCanvas::addControl(Control *control)
{
    if (!control || std::find(m_controls.begin(), m_controls.end(), control) != m_controls.end())
        return;
    m_controls.emplace_back(control);
    addChild(control);
}

void ControlCanvas::removeControl(Control *control)
{
    m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
    removeChild(control);
}

double ControlCanvas::pixelRatio(const osg::View *view)
{
    double ratio = 1.0;
    const osg::GraphicsContext *context = view && view->getCamera() ? view->getCamera()->getGraphicsContext()
                                                                     : nullptr;
    if (context == nullptr || !context->getUserValue("devicePixelRatio", ratio) || !(ratio > 0.0))
        return 1.0;
    return ratio;
}

void ControlCanvas::updateLayout()
{
    osg::ref_ptr<osg::View> view;
    if (m_view.lock(view) && view->getCamera() && view->getCamera()->getViewport()) {
        const osg::Viewport *viewport = view->getCamera()->getViewport();
        m_ratio = float(pixelRatio(view.get()));
        const osg::Vec2f size(float(viewport->width()) / m_ratio, float(viewport->height()) / m_ratio);
        if (size != m_size) {
            m_size = size;
            setProjectionMatrixAsOrtho2D(0.0, m_size.x(), 0.0, m_size.y());
        }
    }
    const ControlRect whole{0.0f, 0.0f, m_size.x(), m_size.y()};
    for (const auto &control : m_controls) {
        if (!control->visible())
            continue;
        control->measure();
        control->place(whole);
        control->refresh(whole);
    }
}

Control *ControlCanvas::controlAt(const osg::Vec2f &point) const
{
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        if (Control *hit = (*it)->controlAt(point))
            return hit;
    }
    return nullptr;
}

} // namespace geo
