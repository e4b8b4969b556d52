#pragma once

#include <osg/Group>
#include <osg/Image>

#include <vector>

namespace osgUtil {
class CullVisitor;
}

namespace geo {

class GlobeTile;

// The drawn globe: the WGS84 ellipsoid in world (earth-centred)
// coordinates, covered by one world image, split into a quadtree of tiles
// (see GlobeTile) whose eight roots are 90 by 90 degree quadrants. It is
// lit by whatever light the view supplies (the sky's sun) and culls its
// back faces, so the far side of the earth costs nothing to fill.
//
// Before each cull traversal it chooses the tiles to draw: the one whose
// grid strays furthest from the ellipsoid for its distance from the eye
// splits first, until every tile in view is fine enough or a frame's share
// of tiles is used up. So every view, the poles included, costs about the
// same, and what earlier views built is dropped again wherever it lies.
class GlobeSurface : public osg::Group
{
public:
    explicit GlobeSurface(osg::Image *worldImage);

    void traverse(osg::NodeVisitor &nv) override;

    // Tiles held in memory after the last cull traversal, drawn or not.
    unsigned heldTiles() const { return m_heldTiles; }

private:
    void chooseTiles(osgUtil::CullVisitor &cv);
    unsigned dropStaleTiles(unsigned stalePasses);

    std::vector<GlobeTile *> m_roots;  // children of the group, which keeps them
    unsigned m_pass = 0;
    unsigned m_heldTiles = 0;
};

} // namespace geo
