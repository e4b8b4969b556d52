#pragma once

#include <osg/Node>
#include <osg/NodeVisitor>
#include <osg/ref_ptr>

namespace geo {

// One quadrant of the globe's quadtree: a patch of the WGS84 ellipsoid
// between two meridians and two parallels, drawn as a textured grid. When
// the eye comes close, the tile draws its four children instead, built on
// the spot in memory; children that stay unused for a while are dropped
// again. So a far globe costs a few dozen tiles and a close-up adds only the
// tiles around the eye, fine enough that the drawn surface stays within
// millimetres of the ellipsoid near the eye.
//
// Visitors other than the cull visitor (intersections, bounds) see what was
// drawn last: the children where the tile was split, else its own grid.
class GlobeTile : public osg::Node
{
public:
    // Bounds in radians; level 0 is the coarsest.
    GlobeTile(unsigned level, double west, double south, double east, double north);

    unsigned level() const { return m_level; }
    bool isSplit() const { return m_split; }

    void traverse(osg::NodeVisitor &nv) override;
    osg::BoundingSphere computeBound() const override;
    void resizeGLObjectBuffers(unsigned maxSize) override;
    void releaseGLObjects(osg::State *state = nullptr) const override;

private:
    void cull(osg::NodeVisitor &nv);
    bool belowHorizon(const osg::Vec3d &eye) const;
    bool wantsSplit(const osg::Vec3d &eye) const;
    void createChildren();
    void dropChildrenWhenStale(unsigned frameNumber);
    void traverseChildren(osg::NodeVisitor &nv);

    unsigned m_level;
    double m_west, m_south, m_east, m_north;
    osg::Vec3d m_centerDirection;  // unit vector from the earth's centre
    double m_angularRadius;        // widest angle from the centre direction to the edge
    osg::ref_ptr<osg::Node> m_mesh;
    osg::ref_ptr<GlobeTile> m_children[4];
    bool m_split = false;
    unsigned m_lastSplitFrame = 0;
};

} // namespace geo
