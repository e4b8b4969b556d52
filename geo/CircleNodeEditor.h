#pragma once

#include <osg/observer_ptr>

#include "geo/AnnotationNode.h"
#include "geo/CircleNode.h"

namespace geo {

// Handles on a sector that the operator drags with the left button: the
// centre moves it, the handle on the middle of the arc sets the radius, the
// handles at the ends of the arc turn its start and its end.
class CircleNodeEditor : public AnnotationNode
{
public:
    enum Handle { HANDLE_CENTER, HANDLE_RADIUS, HANDLE_START, HANDLE_END, HANDLE_COUNT };

    explicit CircleNodeEditor(CircleNode *circle);

    CircleNode *getCircle() const { return m_circle.get(); }
    // Where a handle sits now; invalid without a sector.
    GeoPoint handlePosition(Handle handle) const;
    // Moves the grabbed handle to a point on the ground and updates the
    // sector; what dragging a handle does.
    void moveHandle(Handle handle, const GeoPoint &to);
    // Redraws the handles where the sector now puts them.
    void updateHandles();

private:
    class DragHandler;

    osg::observer_ptr<CircleNode> m_circle;
};

} // namespace geo
