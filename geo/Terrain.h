#pragma once

#include <osg/Camera>
#include <osg/Referenced>
#include <osg/Vec3d>
#include <osg/View>

namespace geo {

// The ground of the globe: the WGS84 ellipsoid itself. Picks intersect the
// exact ellipsoid rather than the drawn tiles, so they are as precise at a
// street's width as from orbit, and nothing placed on the globe (place
// marks, lines, sectors) is ever what a pick hits.
class Terrain : public osg::Referenced
{
public:
    // The world point on the ground under window pixel (x, y) of the view's
    // main camera, window coordinates with the origin at the bottom left as
    // the scene graph counts them (an event's getX()/getY()). False when the
    // pixel shows space or the camera has no viewport.
    bool getWorldCoordsUnderMouse(osg::View *view, float x, float y, osg::Vec3d &world) const;
    // The same for the camera's projection and viewport seen through
    // `viewMatrix`, which may be one the camera has not been given yet.
    static bool worldUnderPixel(const osg::Camera &camera, const osg::Matrixd &viewMatrix, float x, float y,
                                osg::Vec3d &world);

    // The first point where the segment from `start` to `end` (world
    // coordinates) enters the ellipsoid; false when it misses.
    static bool intersectSegment(const osg::Vec3d &start, const osg::Vec3d &end, osg::Vec3d &world);
};

} // namespace geo
