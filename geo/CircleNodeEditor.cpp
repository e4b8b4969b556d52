#include "geo/CircleNodeEditor.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Point>
#include <osgGA/GUIEventHandler>

#include <cmath>

#include "geo/Terrain.h"

namespace geo {

namespace {

constexpr float handleSize = 10.0f;   // pixels
constexpr float grabDistance = 10.0f; // pixels from a handle's centre
constexpr int handleBin = 21;         // over the marks

const osg::Vec4f handleColours[CircleNodeEditor::HANDLE_COUNT] = {
    {1.0f, 1.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 0.0f, 1.0f}, {1.0f, 0.5f, 0.0f, 1.0f}, {1.0f, 0.5f, 0.0f, 1.0f}};

osg::ref_ptr<osg::Geode> handleDot(const osg::Vec4f &colour)
{
    osg::ref_ptr<osg::Geometry> dot = new osg::Geometry;
    dot->setVertexArray(new osg::Vec3Array(1));
    dot->setColorArray(new osg::Vec4Array(1, &colour), osg::Array::BIND_OVERALL);
    dot->addPrimitiveSet(new osg::DrawArrays(GL_POINTS, 0, 1));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(dot);
    // A single point has no extent; small-feature culling would drop it.
    geode->setCullingActive(false);
    return geode;
}

} // namespace

// Grabs a handle on a left press near it and moves it while the button is
// dragged. The events of a drag it owns are handled, so the globe stays put.
class CircleNodeEditor::DragHandler : public osgGA::GUIEventHandler
{
public:
    explicit DragHandler(CircleNodeEditor *editor)
        : m_editor(editor)
    {
    }

    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa, osg::Object *,
                osg::NodeVisitor *) override
    {
        osg::View *view = aa.asView();
        if (!view || !view->getCamera())
            return false;
        switch (ea.getEventType()) {
        case osgGA::GUIEventAdapter::PUSH:
            m_grabbed = ea.getButton() == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON ? handleAt(*view, ea) : HANDLE_COUNT;
            return m_grabbed != HANDLE_COUNT;
        case osgGA::GUIEventAdapter::DRAG:
            if (m_grabbed == HANDLE_COUNT)
                return false;
            drag(*view, ea);
            return true;
        case osgGA::GUIEventAdapter::RELEASE: {
            // The handle ends where the button comes up, even when no
            // motion was reported on the way.
            const bool owned = m_grabbed != HANDLE_COUNT;
            if (owned)
                drag(*view, ea);
            m_grabbed = HANDLE_COUNT;
            return owned;
        }
        default:
            return false;
        }
    }

private:
    static osg::Vec2d windowPoint(const osgGA::GUIEventAdapter &ea)
    {
        const double y = ea.getMouseYOrientation() == osgGA::GUIEventAdapter::Y_INCREASING_DOWNWARDS
            ? ea.getYmax() - ea.getY() + ea.getYmin()
            : ea.getY();
        return osg::Vec2d(ea.getX(), y);
    }

    static osg::Matrixd windowMatrix(const osg::Camera &camera)
    {
        return camera.getViewMatrix() * camera.getProjectionMatrix()
            * (camera.getViewport() ? camera.getViewport()->computeWindowMatrix() : osg::Matrixd());
    }

    Handle handleAt(osg::View &view, const osgGA::GUIEventAdapter &ea) const
    {
        const osg::Matrixd toWindow = windowMatrix(*view.getCamera());
        const osg::Vec2d pointer = windowPoint(ea);
        for (int handle = 0; handle < HANDLE_COUNT; ++handle) {
            osg::Vec3d world;
            if (!toWorld(m_editor->handlePosition(Handle(handle)), groundLift, world))
                continue;
            const osg::Vec3d onScreen = world * toWindow;
            if ((osg::Vec2d(onScreen.x(), onScreen.y()) - pointer).length() <= grabDistance)
                return Handle(handle);
        }
        return HANDLE_COUNT;
    }

    void drag(osg::View &view, const osgGA::GUIEventAdapter &ea)
    {
        const osg::Matrixd fromWindow = osg::Matrixd::inverse(windowMatrix(*view.getCamera()));
        const osg::Vec2d pointer = windowPoint(ea);
        osg::Vec3d ground;
        if (!Terrain::intersectSegment(osg::Vec3d(pointer, 0.0) * fromWindow, osg::Vec3d(pointer, 1.0) * fromWindow,
                                       ground))
            return;
        GeoPoint to;
        to.fromWorld(SpatialReference::wgs84Geographic(), ground);
        m_editor->moveHandle(m_grabbed, to);
    }

    CircleNodeEditor *m_editor;
    Handle m_grabbed = HANDLE_COUNT;
};

CircleNodeEditor::CircleNodeEditor(CircleNode *circle)
    : m_circle(circle)
{
    osg::StateSet *state = getOrCreateStateSet();
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF);
    state->setAttributeAndModes(new osg::Point(handleSize));
    state->setRenderBinDetails(handleBin, "RenderBin");
    setEventCallback(new DragHandler(this));
    updateHandles();
}

GeoPoint CircleNodeEditor::handlePosition(Handle handle) const
{
    osg::ref_ptr<CircleNode> circle;
    if (!m_circle.lock(circle) || !circle->getCenter().isValid())
        return GeoPoint();
    const double start = circle->getArcStart().as(Units::DEGREES);
    switch (handle) {
    case HANDLE_CENTER:
        return circle->getCenter();
    case HANDLE_RADIUS:
        return circle->pointOnCircle(Angle(start + circle->sweepDegrees() / 2.0));
    case HANDLE_START:
        return circle->pointOnCircle(circle->getArcStart());
    case HANDLE_END:
        return circle->pointOnCircle(Angle(start + circle->sweepDegrees()));
    default:
        return GeoPoint();
    }
}

void CircleNodeEditor::moveHandle(Handle handle, const GeoPoint &to)
{
    osg::ref_ptr<CircleNode> circle;
    if (!m_circle.lock(circle) || !circle->getCenter().isValid() || !to.isValid())
        return;
    GeoPoint centre = circle->getCenter();
    Distance radius = circle->getRadius();
    Angle start = circle->getArcStart();
    Angle end = circle->getArcEnd();
    // Radius and bearings are read in the ground plane at the centre, the
    // plane in which the sector lays out its arc.
    const GeoPoint ground = to.transform(centre.getSRS());
    osg::Matrixd localToWorld;
    osg::Vec3d world;
    if (!GeoPoint(centre.getSRS(), centre.x(), centre.y(), 0.0).createLocalToWorld(localToWorld)
        || !GeoPoint(ground.getSRS(), ground.x(), ground.y(), 0.0).toWorld(world))
        return;
    const osg::Vec3d local = world * osg::Matrixd::inverse(localToWorld);
    const Angle bearing(osg::RadiansToDegrees(std::atan2(local.x(), local.y())));
    switch (handle) {
    case HANDLE_CENTER:
        centre.x() = ground.x();
        centre.y() = ground.y();
        break;
    case HANDLE_RADIUS:
        radius = Distance(std::hypot(local.x(), local.y()));
        break;
    case HANDLE_START:
        start = bearing;
        break;
    case HANDLE_END:
        end = bearing;
        break;
    default:
        return;
    }
    circle->set(centre, radius, circle->getStyle(), start, end, circle->isPie());
    updateHandles();
}

void CircleNodeEditor::updateHandles()
{
    removeChildren(0, getNumChildren());
    for (int handle = 0; handle < HANDLE_COUNT; ++handle) {
        osg::Vec3d world;
        if (!toWorld(handlePosition(Handle(handle)), groundLift, world))
            continue;
        osg::ref_ptr<osg::MatrixTransform> dot = anchored(world, handleDot(handleColours[handle]));
        hideBehindHorizon(dot.get(), world);
        addChild(dot);
    }
}

} // namespace geo
