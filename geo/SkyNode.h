#pragma once

#include <osg/Group>
#include <osg/Light>
#include <osg/View>
#include <osg/ref_ptr>

#include "geo/DateTime.h"
#include "geo/MapNode.h"

namespace geo {

// The space around the globe and the sun that lights it. Attached to a view,
// it clears the view to the black of space and lights the scene with the
// sun as it stands at the sky's date and time, a directional light fixed in
// world coordinates, so day and night fall where they do on the real earth
// at that moment.
class SkyNode : public osg::Group
{
public:
    static SkyNode *create(MapNode *mapNode);

    void setDateTime(const DateTime &dateTime);
    const DateTime &getDateTime() const { return m_dateTime; }

    // Makes the sun the view's light, as GL light `sunLightNumber`, and
    // space its background.
    void attach(osg::View *view, int sunLightNumber = 0);

    // Unit vector from the earth's centre towards the sun, world frame.
    osg::Vec3d sunDirection() const { return m_sunDirection; }
    // The point where the sun stands at the zenith: longitude, latitude in
    // degrees.
    static osg::Vec2d subsolarPoint(const DateTime &dateTime);

    osg::Light *getSunLight() const { return m_sun.get(); }

private:
    explicit SkyNode(MapNode *mapNode);
    void updateSun();
    void lightGlobeBySunAlone(int sunLightNumber);

    osg::observer_ptr<MapNode> m_mapNode;
    DateTime m_dateTime;
    osg::Vec3d m_sunDirection;
    osg::ref_ptr<osg::Light> m_sun;
};

} // namespace geo
