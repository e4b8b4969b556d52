#pragma once

#include <osg/Group>
#include <osg/Image>

namespace geo {

// The drawn globe: the WGS84 ellipsoid in world (earth-centred)
// coordinates, covered by one world image, split into a quadtree of tiles
// (see GlobeTile) whose eight roots are 90 by 90 degree quadrants. It is
// lit by whatever light the view supplies (the sky's sun) and culls its
// back faces, so the far side of the earth costs nothing to fill.
class GlobeSurface : public osg::Group
{
public:
    explicit GlobeSurface(osg::Image *worldImage);
};

} // namespace geo
