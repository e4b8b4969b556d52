#pragma once

#include <osg/Geode>
#include <osg/Group>
#include <osg/Node>
#include <osg/NodeCallback>
#include <osg/Vec3f>
#include <osg/observer_ptr>
#include <osg/ref_ptr>

// Leaves a trail behind a moving transform: one line segment per update
// traversal, from where the transform stood at the last one. A step in the
// same direction as the one before replaces that segment, so a straight
// run stays one segment long instead of growing without bound.
class CreateTrackCallback : public osg::NodeCallback
{
public:
    CreateTrackCallback(osg::Group *trackGroup, osg::Node *node, float lineWidth);

    void operator()(osg::Node *node, osg::NodeVisitor *nv) override;
    osg::ref_ptr<osg::Geode> createLineSegment(const osg::Vec3f &start, const osg::Vec3f &end) const;

private:
    osg::Vec3f m_direction;
    osg::Vec3f m_lastPosition;
    osg::Vec3f m_currentPosition;
    // The node owns this callback: a strong reference back would keep both,
    // and the whole drone subtree under it, alive after the scene is gone.
    osg::observer_ptr<osg::Node> m_node;
    osg::Group *m_trackGroup;
    int m_lineWidth;
};
