#pragma once

#include <osg/Node>
#include <osg/observer_ptr>

#include <string>

#include "geo/Angle.h"
#include "geo/Distance.h"
#include "geo/GeoPoint.h"

namespace geo {

// Where a camera looks from: the focal point on or above the globe, the
// heading (degrees clockwise from north), the pitch (degrees, -90 looks
// straight down, 0 at the horizon) and the range (metres from the focal
// point to the eye). A viewpoint may instead be tethered to a node: the
// focal point then follows the node's centre, wherever it moves.
//
// A default-constructed viewpoint is invalid; one with a focal point or a
// node is valid.
class Viewpoint
{
public:
    Viewpoint() = default;
    // Longitude and latitude in degrees, z in metres, on geographic WGS84.
    Viewpoint(const char *name, double longitude, double latitude, double z, double heading,
              double pitch, double range);

    bool isValid() const { return m_focalPoint.isValid() || m_node.valid(); }

    const std::string &getName() const { return m_name; }
    void setName(const std::string &name) { m_name = name; }

    const GeoPoint &focalPoint() const { return m_focalPoint; }
    void setFocalPoint(const GeoPoint &point) { m_focalPoint = point; }

    const Angle &heading() const { return m_heading; }
    void setHeading(const Angle &heading) { m_heading = heading; }
    const Angle &pitch() const { return m_pitch; }
    void setPitch(const Angle &pitch) { m_pitch = pitch; }
    const Distance &range() const { return m_range; }
    void setRange(const Distance &range) { m_range = range; }

    // The node the viewpoint follows; null when untethered or when the node
    // has been deleted.
    osg::Node *getNode() const { return m_node.get(); }
    void setNode(osg::Node *node) { m_node = node; }

private:
    std::string m_name;
    GeoPoint m_focalPoint;
    Angle m_heading;
    Angle m_pitch{-90.0};
    Distance m_range{1000.0};
    osg::observer_ptr<osg::Node> m_node;
};

} // namespace geo
