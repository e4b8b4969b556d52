#include "geo/AnnotationNode.h"

#include <osgUtil/CullVisitor>
#include <osgUtil/IntersectionVisitor>

namespace geo {

namespace {

class HorizonCullCallback : public osg::NodeCallback
{
public:
    explicit HorizonCullCallback(const osg::Vec3d &world)
        : m_world(world)
    {
    }

    void operator()(osg::Node *node, osg::NodeVisitor *nv) override
    {
        auto *cull = dynamic_cast<osgUtil::CullVisitor *>(nv);
        // The eye in world coordinates; the visitor's own eye point is in the
        // coordinates of whatever transform it is inside.
        if (cull && !visibleFrom(cull->getCurrentCamera()->getInverseViewMatrix().getTrans()))
            return;
        traverse(node, nv);
    }

private:
    // Seen from the eye, a point on a sphere is above the horizon when the
    // eye lies on the outer side of the point's tangent plane. A margin of a
    // few metres keeps marks at the ground from flickering at the limb.
    bool visibleFrom(const osg::Vec3d &eye) const
    {
        const osg::Vec3d up = m_world / m_world.length();
        return (eye - m_world) * up > -5.0;
    }

    osg::Vec3d m_world;
};

} // namespace

void AnnotationNode::traverse(osg::NodeVisitor &nv)
{
    if (dynamic_cast<osgUtil::IntersectionVisitor *>(&nv))
        return;
    osg::Group::traverse(nv);
}

bool AnnotationNode::toWorld(const GeoPoint &point, double height, osg::Vec3d &world)
{
    if (!point.isValid())
        return false;
    GeoPoint geographic = point.transform(point.getSRS()->getGeographicSRS());
    geographic.z() = height;
    return geographic.toWorld(world);
}

osg::ref_ptr<osg::MatrixTransform> AnnotationNode::anchored(const osg::Vec3d &anchor, osg::Node *child)
{
    osg::ref_ptr<osg::MatrixTransform> transform = new osg::MatrixTransform(osg::Matrixd::translate(anchor));
    transform->addChild(child);
    return transform;
}

void AnnotationNode::hideBehindHorizon(osg::Node *node, const osg::Vec3d &world)
{
    node->setCullCallback(new HorizonCullCallback(world));
}

} // namespace geo
