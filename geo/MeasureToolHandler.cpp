#include "geo/MeasureToolHandler.h"

#include <osgViewer/View>

#include <algorithm>

#include "geo/AltitudeSymbol.h"
#include "geo/EllipsoidGeodesic.h"
#include "geo/LineSymbol.h"

namespace geo {

namespace {

// A press and release this close together is a click; farther apart the
// operator was turning the globe.
constexpr float clickTolerance = 3.0f;

// A style's width for a line draped over the ground counts in pixels of the
// drape's texture, where hundreds are still a thin line; on screen they
// would paint a band across the globe. The measured line is drawn on
// screen, no wider than this whatever its style says.
constexpr float widestLine = 4.0f;

Style drawnOnScreen(const Style &style)
{
    Style drawn(style);
    LineSymbol *line = drawn.getOrCreate<LineSymbol>();
    line->stroke().width = std::min(line->stroke().width, widestLine);
    return drawn;
}

Style defaultLineStyle()
{
    Style style;
    LineSymbol *line = style.getOrCreate<LineSymbol>();
    line->stroke().color = Color::Yellow;
    line->stroke().width = 2.0f;
    line->setTessellation(20);
    style.getOrCreate<AltitudeSymbol>()->clamping = AltitudeSymbol::CLAMP_TO_TERRAIN;
    return style;
}

} // namespace

void MeasureToolHandler::MeasureToolEventHandler::onDistanceChanged(MeasureToolHandler *, double) {}

MeasureToolHandler::MeasureToolHandler(MapNode *mapNode)
    : m_mapNode(mapNode)
{
    const SpatialReference *srs = mapNode ? mapNode->getMapSRS() : SpatialReference::wgs84Geographic();
    m_line = new FeatureNode(new Feature(new LineString, srs, defaultLineStyle()), drawnOnScreen(defaultLineStyle()));
    if (mapNode)
        mapNode->addChild(m_line);
}

MeasureToolHandler::~MeasureToolHandler()
{
    osg::ref_ptr<MapNode> mapNode;
    if (m_mapNode.lock(mapNode))
        mapNode->removeChild(m_line);
}

void MeasureToolHandler::addEventHandler(MeasureToolEventHandler *handler)
{
    if (handler)
        m_handlers.emplace_back(handler);
}

const Style &MeasureToolHandler::getLineStyle() const
{
    return m_line->getFeature()->getStyle();
}

void MeasureToolHandler::setLineStyle(const Style &style)
{
    m_line->getFeature()->setStyle(style);
    m_line->setStyle(drawnOnScreen(style));
    redraw();
}

void MeasureToolHandler::clear()
{
    m_points.clear();
    m_finished = false;
    redraw();
    reportDistance();
}

double MeasureToolHandler::distance() const
{
    double total = 0.0;
    for (size_t i = 1; i < m_points.size(); ++i) {
        total += EllipsoidGeodesic::distance(
            osg::DegreesToRadians(m_points[i - 1].y()), osg::DegreesToRadians(m_points[i - 1].x()),
            osg::DegreesToRadians(m_points[i].y()), osg::DegreesToRadians(m_points[i].x()));
    }
    return total;
}

bool MeasureToolHandler::handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    // A click that an on-screen control took is the control's, not the
    // start, the end or the next point of a measurement.
    if (ea.getHandled()) {
        m_pressed = false;
        return false;
    }
    const bool leftButton = ea.getButton() == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON;
    osg::Vec3d point;
    switch (ea.getEventType()) {
    case osgGA::GUIEventAdapter::PUSH:
        m_pressed = leftButton;
        m_pressedAt.set(ea.getX(), ea.getY());
        break;
    case osgGA::GUIEventAdapter::RELEASE:
        if (m_pressed && leftButton && (osg::Vec2f(ea.getX(), ea.getY()) - m_pressedAt).length() <= clickTolerance
            && pick(aa, ea, point))
            click(point);
        m_pressed = false;
        break;
    case osgGA::GUIEventAdapter::MOVE:
        if (!m_points.empty() && !m_finished && pick(aa, ea, point))
            moveEnd(point);
        break;
    default:
        break;
    }
    return false;
}

bool MeasureToolHandler::pick(osgGA::GUIActionAdapter &aa, const osgGA::GUIEventAdapter &ea,
                              osg::Vec3d &lonLatHeight) const
{
    osg::ref_ptr<MapNode> mapNode;
    auto *view = dynamic_cast<osgViewer::View *>(&aa);
    if (!view || !m_mapNode.lock(mapNode) || !(mapNode->getNodeMask() & m_intersectionMask))
        return false;
    osg::Vec3d world;
    if (!mapNode->getTerrain()->getWorldCoordsUnderMouse(view, ea.getX(), ea.getY(), world))
        return false;
    GeoPoint ground;
    ground.fromWorld(mapNode->getMapSRS(), world);
    lonLatHeight = ground.vec3d();
    return true;
}

void MeasureToolHandler::click(const osg::Vec3d &point)
{
    if (m_points.empty() || m_finished) {
        m_points.assign(1, point);
        m_finished = false;
    } else {
        // The end follows the pointer; the click fixes where it is now.
        m_points.resize(1);
        m_points.push_back(point);
        m_finished = true;
    }
    redraw();
    reportDistance();
}

void MeasureToolHandler::moveEnd(const osg::Vec3d &point)
{
    m_points.resize(1);
    m_points.push_back(point);
    redraw();
    reportDistance();
}

void MeasureToolHandler::redraw()
{
    LineString *line = m_line->getFeature()->getGeometry();
    line->assign(m_points.begin(), m_points.end());
    m_line->init();
}

void MeasureToolHandler::reportDistance()
{
    const double length = distance();
    const auto handlers = m_handlers;
    for (const auto &handler : handlers)
        handler->onDistanceChanged(this, length);
}

} // namespace geo
