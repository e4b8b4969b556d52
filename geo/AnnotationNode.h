#pragma once

#include <osg/Group>
#include <osg/MatrixTransform>
#include <osg/Vec3d>

#include "geo/GeoPoint.h"

namespace geo {

// Something drawn on the globe: a mark, a line, a sector. Annotations are
// never what a pick hits: intersection visitors do not enter them, so a pick
// through the map node lands on the ground under them.
class AnnotationNode : public osg::Group
{
public:
    void traverse(osg::NodeVisitor &nv) override;

protected:
    // Lines and areas that lie on the ground are lifted this far so that
    // they are not lost in the drawn globe, whose flat tiles run slightly
    // below the ellipsoid between their corners.
    static constexpr double groundLift = 2.0;

    // The world position of a point; false for a point without reference.
    static bool toWorld(const GeoPoint &point, double height, osg::Vec3d &world);
    // A transform to `anchor` holding `geode`: vertices near the anchor keep
    // single-precision accuracy that earth-centred values would lose.
    static osg::ref_ptr<osg::MatrixTransform> anchored(const osg::Vec3d &anchor, osg::Node *child);
    // Culls `node` while `world` is behind the earth as seen from the eye.
    // For what is drawn without depth test, which the globe cannot hide.
    static void hideBehindHorizon(osg::Node *node, const osg::Vec3d &world);
};

} // namespace geo
