#pragma once

#include <osg/observer_ptr>
#include <osgGA/GUIEventHandler>

#include <vector>

#include "geo/FeatureNode.h"
#include "geo/MapNode.h"
#include "geo/Style.h"

namespace geo {

// Measures on the globe with the left button: a click sets the start, the
// pointer then drags a line whose length is reported as it moves, and the
// next click ends the measurement; the click after that starts a new one.
// Lengths are geodesics on the WGS84 ellipsoid, in metres. The handler
// never takes an event from other handlers, and leaves alone the events
// that an on-screen control took. The line is drawn thin on screen,
// whatever width its style gives.
class MeasureToolHandler : public osgGA::GUIEventHandler
{
public:
    // Told every time the measured length changes.
    class MeasureToolEventHandler : public osg::Referenced
    {
    public:
        virtual void onDistanceChanged(MeasureToolHandler *sender, double distance);
    };

    explicit MeasureToolHandler(MapNode *mapNode);
    ~MeasureToolHandler() override;

    // Picks only see nodes whose mask shares a bit with this mask.
    void setIntersectionMask(unsigned mask) { m_intersectionMask = mask; }
    unsigned getIntersectionMask() const { return m_intersectionMask; }
    void addEventHandler(MeasureToolEventHandler *handler);
    const Style &getLineStyle() const;
    void setLineStyle(const Style &style);

    // Starts afresh: no points, nothing drawn.
    void clear();
    // The length measured so far, in metres.
    double distance() const;
    const std::vector<osg::Vec3d> &points() const { return m_points; }

    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa) override;

private:
    bool pick(osgGA::GUIActionAdapter &aa, const osgGA::GUIEventAdapter &ea, osg::Vec3d &lonLatHeight) const;
    void click(const osg::Vec3d &point);
    void moveEnd(const osg::Vec3d &point);
    void redraw();
    void reportDistance();

    osg::observer_ptr<MapNode> m_mapNode;
    osg::ref_ptr<FeatureNode> m_line;
    std::vector<osg::ref_ptr<MeasureToolEventHandler>> m_handlers;
    std::vector<osg::Vec3d> m_points;
    bool m_finished = false;
    bool m_pressed = false;
    osg::Vec2f m_pressedAt;
    unsigned m_intersectionMask = 0xFFFFFFFFu;
};

} // namespace geo
