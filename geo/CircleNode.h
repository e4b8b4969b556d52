#pragma once

#include <osg/Geometry>

#include "geo/Angle.h"
#include "geo/AnnotationNode.h"
#include "geo/Distance.h"
#include "geo/GeoPoint.h"
#include "geo/Style.h"

namespace geo {

// A filled part of a circle on the ground: from the arc start to the arc end,
// both bearings (clockwise from north), at a radius around a centre. A pie
// includes the centre; otherwise the area between the arc and its chord is
// filled. Equal start and end leave nothing to fill; an end a whole turn or
// more after the start fills the whole circle.
class CircleNode : public AnnotationNode
{
public:
    CircleNode();

    void set(const GeoPoint &center, const Distance &radius, const Style &style, const Angle &arcStart,
             const Angle &arcEnd, bool pie);

    const GeoPoint &getCenter() const { return m_center; }
    const Distance &getRadius() const { return m_radius; }
    const Angle &getArcStart() const { return m_arcStart; }
    const Angle &getArcEnd() const { return m_arcEnd; }
    bool isPie() const { return m_pie; }
    const Style &getStyle() const { return m_style; }

    // The point at `bearing` on the circle, in the centre's coordinates.
    GeoPoint pointOnCircle(const Angle &bearing) const;
    // The sweep from start to end, in degrees within [0, 360].
    double sweepDegrees() const;

private:
    void rebuild();
    GeoPoint pointAt(const Angle &bearing, double metres) const;
    osg::Vec3d groundPoint(double bearingDegrees, double metres) const;
    int arcSteps() const;
    void addPie(osg::Geometry &fill, const osg::Vec3d &centre) const;
    void addSegment(osg::Geometry &fill, const osg::Vec3d &centre) const;

    GeoPoint m_center;
    Distance m_radius;
    Style m_style;
    Angle m_arcStart;
    Angle m_arcEnd;
    bool m_pie = true;
};

} // namespace geo
