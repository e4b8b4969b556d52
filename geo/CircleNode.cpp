#include "geo/CircleNode.h"

#include <osg/BlendFunc>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/PolygonOffset>

#include <cmath>

#include "geo/GeoMath.h"
#include "geo/PolygonSymbol.h"

namespace geo {

namespace {

// Small enough a step that the arc looks round at any radius on screen.
constexpr double arcStepDegrees = 1.0;

} // namespace

CircleNode::CircleNode()
{
    osg::StateSet *state = getOrCreateStateSet();
    state->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
    state->setMode(GL_CULL_FACE, osg::StateAttribute::OFF);
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    state->setAttributeAndModes(new osg::BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA));
    // The fill lies on the ground: it must win the depth test against the
    // globe's surface, and it must not hide what is drawn after it.
    state->setAttributeAndModes(new osg::PolygonOffset(-1.0f, -4.0f));
    state->setAttributeAndModes(new osg::Depth(osg::Depth::LEQUAL, 0.0, 1.0, false));
    state->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
}

void CircleNode::set(const GeoPoint &center, const Distance &radius, const Style &style, const Angle &arcStart,
                     const Angle &arcEnd, bool pie)
{
    m_center = center;
    m_radius = radius;
    m_style = style;
    m_arcStart = arcStart;
    m_arcEnd = arcEnd;
    m_pie = pie;
    rebuild();
}

double CircleNode::sweepDegrees() const
{
    const double sweep = std::fmod(m_arcEnd.as(Units::DEGREES) - m_arcStart.as(Units::DEGREES), 360.0);
    return sweep < 0.0 ? sweep + 360.0 : sweep;
}

GeoPoint CircleNode::pointOnCircle(const Angle &bearing) const
{
    const GeoPoint geographic = m_center.transform(m_center.getSRS()->getGeographicSRS());
    double lat = 0.0;
    double lon = 0.0;
    GeoMath::destination(osg::DegreesToRadians(geographic.y()), osg::DegreesToRadians(geographic.x()),
                         bearing.as(Units::RADIANS), m_radius.as(Units::METERS), lat, lon);
    return GeoPoint(geographic.getSRS(), osg::RadiansToDegrees(lon), osg::RadiansToDegrees(lat), geographic.z(),
                    geographic.altitudeMode());
}

void CircleNode::rebuild()
{
    removeChildren(0, getNumChildren());
    const double sweep = sweepDegrees();
    osg::Vec3d centre;
    if (!m_center.isValid() || sweep <= 0.0 || m_radius.as(Units::METERS) <= 0.0
        || !toWorld(m_center, groundLift, centre))
        return;

    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    if (m_pie)
        vertices->push_back(osg::Vec3());
    const int steps = std::max(1, int(std::ceil(sweep / arcStepDegrees)));
    const double start = m_arcStart.as(Units::DEGREES);
    for (int step = 0; step <= steps; ++step) {
        osg::Vec3d world;
        if (toWorld(pointOnCircle(Angle(start + sweep * step / steps)), groundLift, world))
            vertices->push_back(world - centre);
    }

    static const PolygonSymbol plain;
    const PolygonSymbol *polygon = m_style.get<PolygonSymbol>() ? m_style.get<PolygonSymbol>() : &plain;
    const osg::Vec4f colour = polygon->fill().color;
    osg::ref_ptr<osg::Geometry> fill = new osg::Geometry;
    fill->setVertexArray(vertices);
    fill->setColorArray(new osg::Vec4Array(1, &colour), osg::Array::BIND_OVERALL);
    fill->addPrimitiveSet(new osg::DrawArrays(GL_TRIANGLE_FAN, 0, GLsizei(vertices->size())));
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(fill);
    addChild(anchored(centre, geode));
}

} // namespace geo
