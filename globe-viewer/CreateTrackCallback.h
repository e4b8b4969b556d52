#pragma once

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/Group>
#include <osg/Node>
#include <osg/NodeCallback>
#include <osg/Vec3d>
#include <osg/Vec3f>
#include <osg/observer_ptr>
#include <osg/ref_ptr>

// Leaves a trail behind a moving transform, from where it stood at one
// update traversal to where it stands at the next. A step that continues
// the last segment's direction stretches that segment, so a straight run
// stays one segment however long it lasts. Segments are gathered a few
// thousand to a drawing, each drawing's vertices relative to an origin of
// its own: the frame's cost does not grow with the length of the flight,
// and the trail keeps to the drone at close range, where earth-centred
// single-precision vertices would jitter by half a metre.
class CreateTrackCallback : public osg::NodeCallback
{
public:
    CreateTrackCallback(osg::Group *trackGroup, osg::Node *node, float lineWidth);

    void operator()(osg::Node *node, osg::NodeVisitor *nv) override;
    osg::ref_ptr<osg::Geode> createLineSegment(const osg::Vec3f &start, const osg::Vec3f &end) const;

private:
    bool continuesLastSegment(const osg::Vec3d &end) const;
    void stretchLastSegment(const osg::Vec3d &end);
    void addSegment(const osg::Vec3d &start, const osg::Vec3d &end);
    bool pieceTakes(const osg::Vec3d &end) const;

    // Of the last segment, from its start to its end, normalised.
    osg::Vec3d m_direction;
    osg::Vec3d m_lastPosition;
    osg::Vec3d m_currentPosition;
    // The node owns this callback: a strong reference back would keep both,
    // and the whole drone subtree under it, alive after the scene is gone.
    osg::observer_ptr<osg::Node> m_node;
    osg::Group *m_trackGroup;
    int m_lineWidth;

    // The drawing that new segments join, and its origin in world space.
    osg::observer_ptr<osg::Geometry> m_piece;
    osg::Vec3d m_pieceOrigin;
    osg::Vec3d m_segmentStart;
};
