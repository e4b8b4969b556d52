#include "geo/FeatureNode.h"

#include <osg/Depth>
#include <osg/Geode>
#include <osg/Geometry>
#include <osg/LineStipple>
#include <osg/LineWidth>

#include <algorithm>
#include <cmath>

#include "geo/AltitudeSymbol.h"
#include "geo/LineSymbol.h"

namespace geo {

namespace {

// Whatever the style asks for, no piece of a drawn line is longer than this,
// so its chord never dips into the globe.
constexpr double longestPiece = 20000.0;
constexpr unsigned mostPiecesPerLeg = 2000;

} // namespace

Feature::Feature(LineString *geometry, const SpatialReference *srs, const Style &style)
    : m_geometry(geometry ? geometry : new LineString)
    , m_srs(srs)
    , m_style(style)
{
}

FeatureNode::FeatureNode(Feature *feature, const Style &style)
    : m_feature(feature)
    , m_style(style)
{
    getOrCreateStateSet()->setMode(GL_LIGHTING, osg::StateAttribute::OFF);
}

const Style &FeatureNode::effectiveStyle() const
{
    return m_style.empty() && m_feature ? m_feature->getStyle() : m_style;
}

std::vector<osg::Vec3d> FeatureNode::worldPoints(const Style &style) const
{
    const AltitudeSymbol *altitude = style.get<AltitudeSymbol>();
    const LineSymbol *line = style.get<LineSymbol>();
    const bool onGround = altitude && altitude->onGround();
    const double offset = (altitude ? altitude->verticalOffset : 0.0) + groundLift;
    const SpatialReference *srs = m_feature->getSRS();
    const unsigned asked = line ? std::max(1u, line->tessellation()) : 1u;

    std::vector<osg::Vec3d> world;
    const LineString &points = *m_feature->getGeometry();
    for (size_t i = 0; i < points.size(); ++i) {
        osg::Vec3d end;
        const double height = (onGround ? 0.0 : points[i].z()) + offset;
        if (!toWorld(GeoPoint(srs, points[i].x(), points[i].y()), height, end))
            continue;
        if (!world.empty()) {
            // Cut the leg and set every cut back onto its height above the
            // ellipsoid, so the line follows the earth's curve.
            const osg::Vec3d start = world.back();
            const unsigned pieces = std::min(
                mostPiecesPerLeg, std::max(asked, unsigned(std::ceil((end - start).length() / longestPiece))));
            const SpatialReference *geographic = SpatialReference::wgs84Geographic();
            for (unsigned piece = 1; piece < pieces; ++piece) {
                GeoPoint cut;
                cut.fromWorld(geographic, start + (end - start) * (double(piece) / pieces));
                osg::Vec3d lifted;
                if (toWorld(cut, height, lifted))
                    world.push_back(lifted);
            }
        }
        world.push_back(end);
    }
    return world;
}

void FeatureNode::init()
{
    removeChildren(0, getNumChildren());
    if (!m_feature || m_feature->getGeometry()->size() < 2)
        return;
    const Style &style = effectiveStyle();
    const std::vector<osg::Vec3d> world = worldPoints(style);
    if (world.size() < 2)
        return;

    static const LineSymbol plain;
    const LineSymbol *line = style.get<LineSymbol>() ? style.get<LineSymbol>() : &plain;
    const osg::Vec3d anchor = world.front();
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    for (const osg::Vec3d &point : world)
        vertices->push_back(point - anchor);
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(vertices);
    const osg::Vec4f colour = line->stroke().color;
    geometry->setColorArray(new osg::Vec4Array(1, &colour), osg::Array::BIND_OVERALL);
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_LINE_STRIP, 0, GLsizei(vertices->size())));

    osg::StateSet *state = geometry->getOrCreateStateSet();
    state->setAttributeAndModes(new osg::LineWidth(line->stroke().width));
    if (line->stroke().stipple != 0)
        state->setAttributeAndModes(new osg::LineStipple(1, line->stroke().stipple));
    if (colour.a() < 1.0f) {
        state->setMode(GL_BLEND, osg::StateAttribute::ON);
        state->setRenderingHint(osg::StateSet::TRANSPARENT_BIN);
    }

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry);
    addChild(anchored(anchor, geode));
}

} // namespace geo
