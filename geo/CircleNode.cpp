#include "geo/CircleNode.h"

#include <osg/BlendFunc>
#include <osg/Depth>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/PolygonOffset>

#include <cmath>

#include "geo/PolygonSymbol.h"

namespace geo {

namespace {

// Small enough a step that the arc looks round at any radius on screen.
constexpr double arcStepDegrees = 1.0;
// Over a wide sector the fill is cut into rings at most this far apart.
constexpr double longestRingStep = 10000.0;
constexpr int mostRings = 100;

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
    // A span of a whole turn or more is the whole circle, not what is left
    // over after the last full turn.
    const double span = m_arcEnd.as(Units::DEGREES) - m_arcStart.as(Units::DEGREES);
    if (span >= 360.0)
        return 360.0;
    const double sweep = std::fmod(span, 360.0);
    return sweep < 0.0 ? sweep + 360.0 : sweep;
}

GeoPoint CircleNode::pointOnCircle(const Angle &bearing) const
{
    return pointAt(bearing, m_radius.as(Units::METERS));
}

GeoPoint CircleNode::pointAt(const Angle &bearing, double metres) const
{
    // Out along the ground plane at the centre, then down onto the
    // ellipsoid: at a sector's few kilometres that is exact to well under a
    // millimetre, where a sphere would be off by half a percent.
    const GeoPoint geographic = m_center.transform(m_center.getSRS()->getGeographicSRS());
    osg::Matrixd localToWorld;
    GeoPoint onGround(geographic.getSRS(), geographic.x(), geographic.y(), 0.0);
    if (!onGround.createLocalToWorld(localToWorld))
        return GeoPoint();
    const double radians = bearing.as(Units::RADIANS);
    GeoPoint onCircle;
    onCircle.fromWorld(geographic.getSRS(),
                       osg::Vec3d(metres * std::sin(radians), metres * std::cos(radians), 0.0) * localToWorld);
    onCircle.z() = geographic.z();
    onCircle.setAltitudeMode(geographic.altitudeMode());
    return onCircle;
}

void CircleNode::rebuild()
{
    removeChildren(0, getNumChildren());
    osg::Vec3d centre;
    if (!m_center.isValid() || sweepDegrees() <= 0.0 || m_radius.as(Units::METERS) <= 0.0
        || !toWorld(m_center, groundLift, centre))
        return;

    static const PolygonSymbol plain;
    const PolygonSymbol *polygon = m_style.get<PolygonSymbol>() ? m_style.get<PolygonSymbol>() : &plain;
    const osg::Vec4f colour = polygon->fill().color;
    osg::ref_ptr<osg::Geometry> fill = new osg::Geometry;
    fill->setColorArray(new osg::Vec4Array(1, &colour), osg::Array::BIND_OVERALL);
    if (m_pie)
        addPie(*fill, centre);
    else
        addSegment(*fill, centre);
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(fill);
    addChild(anchored(centre, geode));
}

osg::Vec3d CircleNode::groundPoint(double bearingDegrees, double metres) const
{
    osg::Vec3d world;
    toWorld(pointAt(Angle(bearingDegrees), metres), groundLift, world);
    return world;
}

int CircleNode::arcSteps() const
{
    return std::max(1, int(std::ceil(sweepDegrees() / arcStepDegrees)));
}

void CircleNode::addPie(osg::Geometry &fill, const osg::Vec3d &centre) const
{
    // Rings short enough that the flat triangles between them stay on the
    // curved ground; one ring is enough for the footprint's few hundred
    // metres.
    const double radius = m_radius.as(Units::METERS);
    const int rings = std::min(mostRings, std::max(1, int(std::ceil(radius / longestRingStep))));
    const int steps = arcSteps();
    const double start = m_arcStart.as(Units::DEGREES);
    const double sweep = sweepDegrees();

    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->push_back(osg::Vec3());
    for (int ring = 1; ring <= rings; ++ring) {
        for (int step = 0; step <= steps; ++step)
            vertices->push_back(groundPoint(start + sweep * step / steps, radius * ring / rings) - centre);
    }
    fill.setVertexArray(vertices);

    osg::ref_ptr<osg::DrawElementsUInt> triangles = new osg::DrawElementsUInt(GL_TRIANGLES);
    const auto at = [steps](int ring, int step) { return GLuint(1 + (ring - 1) * (steps + 1) + step); };
    for (int step = 0; step < steps; ++step) {
        triangles->push_back(0);
        triangles->push_back(at(1, step));
        triangles->push_back(at(1, step + 1));
    }
    for (int ring = 1; ring < rings; ++ring) {
        for (int step = 0; step < steps; ++step) {
            const GLuint quad[4] = {at(ring, step), at(ring + 1, step), at(ring + 1, step + 1), at(ring, step + 1)};
            for (int corner : {0, 1, 2, 0, 2, 3})
                triangles->push_back(quad[corner]);
        }
    }
    fill.addPrimitiveSet(triangles);
}

void CircleNode::addSegment(osg::Geometry &fill, const osg::Vec3d &centre) const
{
    const int steps = arcSteps();
    const double start = m_arcStart.as(Units::DEGREES);
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (int step = 0; step <= steps; ++step)
        vertices->push_back(groundPoint(start + sweepDegrees() * step / steps, m_radius.as(Units::METERS)) - centre);
    fill.setVertexArray(vertices);
    fill.addPrimitiveSet(new osg::DrawArrays(GL_TRIANGLE_FAN, 0, GLsizei(vertices->size())));
}

} // namespace geo
