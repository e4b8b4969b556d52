#pragma once

#include <osg/Node>
#include <osg/NodeVisitor>
#include <osg/StateSet>
#include <osg/ref_ptr>

namespace geo {

// One quadrant of the globe's quadtree: a patch of the WGS84 ellipsoid
// between two meridians and two parallels, drawn as a textured grid. The
// surface (GlobeSurface) decides before every frame which tiles draw their
// children instead of their own grid, from how far each grid strays from the
// ellipsoid as seen from the eye; children are built on the spot in memory
// and dropped again once no frame has used them for a while.
//
// Near a pole the meridians crowd together: a tile narrower than three
// quarters of its height splits into a northern and a southern half only,
// so the tiles around a pole stay about as wide as they are tall and hardly
// more than anywhere else.
//
// Visitors other than the cull visitor (intersections, bounds) see what was
// drawn last: the children where the tile was split, else its own grid.
//
// The cull traversal changes the tree, so frames must be single-threaded
// (cull and draw of one frame on one thread, as the GL widget runs them).
class GlobeTile : public osg::Node
{
public:
    // Bounds in radians; level 0 is the coarsest. Tiles from level
    // kFirstCloseUpLevel on draw with `closeUpState` (may be null).
    GlobeTile(unsigned level, double west, double south, double east, double north,
              osg::StateSet *closeUpState);

    // A view splits down to this level only when the tiles come so close
    // that each covers more pixels than it holds texels of the world image:
    // the image is only ever magnified there.
    static const unsigned kFirstCloseUpLevel = 2;

    unsigned level() const { return m_level; }
    bool isSplit() const { return m_split; }
    bool canSplit() const;

    // The farthest the drawn grid strays from the ellipsoid, in metres.
    double geometricError() const { return m_geometricError; }
    // About the shortest distance from the eye to the tile's ground; the
    // eye's geodetic latitude and longitude are given in radians.
    double distanceFrom(const osg::Vec3d &eye, double eyeLatitude, double eyeLongitude) const;
    bool belowHorizon(const osg::Vec3d &eye) const;

    // Draw through the children (built when missing) or with the own grid.
    // `pass` numbers the surface's cull traversals and tells which children
    // are stale.
    void split(unsigned pass);
    void merge() { m_split = false; }
    GlobeTile *child(unsigned index) const { return m_children[index].get(); }
    static const unsigned kMaxChildren = 4;

    // Drops the children of this tile and of every tile below it that no
    // pass has split for more than `stalePasses` passes up to `pass`;
    // returns the tiles left, this one included.
    unsigned dropStaleTiles(unsigned pass, unsigned stalePasses);

    void traverse(osg::NodeVisitor &nv) override;
    osg::BoundingSphere computeBound() const override;
    void resizeGLObjectBuffers(unsigned maxSize) override;
    void releaseGLObjects(osg::State *state = nullptr) const override;

private:
    void cull(osg::NodeVisitor &nv);
    bool isNarrow() const;
    bool touchesPole() const;
    double nearestLongitude(double longitude) const;
    void createChildren();
    void traverseChildren(osg::NodeVisitor &nv);

    unsigned m_level;
    double m_west, m_south, m_east, m_north;
    osg::Vec3d m_centerDirection;  // unit vector from the earth's centre
    double m_angularRadius;        // widest angle from the centre direction to the edge
    double m_geometricError;
    osg::ref_ptr<osg::StateSet> m_closeUpState;
    osg::ref_ptr<osg::Node> m_mesh;
    osg::ref_ptr<GlobeTile> m_children[kMaxChildren];  // a narrow tile fills the first two
    bool m_split = false;
    unsigned m_lastSplitPass = 0;
};

} // namespace geo
