#include "geo/SkyNode.h"

#include <osg/Camera>
#include <osg/Math>

#include <cmath>

namespace geo {

namespace {

double degreesIn360(double degrees)
{
    const double wrapped = std::fmod(degrees, 360.0);
    return wrapped < 0.0 ? wrapped + 360.0 : wrapped;
}

} // namespace

SkyNode *SkyNode::create(MapNode *mapNode)
{
    return new SkyNode(mapNode);
}

SkyNode::SkyNode(MapNode *mapNode)
    : m_mapNode(mapNode), m_dateTime(2000, 1, 1, 12.0), m_sun(new osg::Light)
{
    setName("sky");
    m_sun->setAmbient(osg::Vec4(0.25f, 0.25f, 0.25f, 1.0f));
    m_sun->setDiffuse(osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    m_sun->setSpecular(osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    updateSun();
}

void SkyNode::setDateTime(const DateTime &dateTime)
{
    m_dateTime = dateTime;
    updateSun();
}

osg::Vec2d SkyNode::subsolarPoint(const DateTime &dateTime)
{
    // The sun's low-precision ephemeris of the Astronomical Almanac, good to
    // a hundredth of a degree for this century: ecliptic longitude from the
    // mean longitude and anomaly, then right ascension and declination, and
    // the longitude under the sun from the Greenwich sidereal time.
    const double n = dateTime.julianDay() - 2451545.0;
    const double meanLongitude = 280.460 + 0.9856474 * n;
    const double meanAnomaly = osg::DegreesToRadians(357.528 + 0.9856003 * n);
    const double eclipticLongitude = osg::DegreesToRadians(
        meanLongitude + 1.915 * std::sin(meanAnomaly) + 0.020 * std::sin(2.0 * meanAnomaly));
    const double obliquity = osg::DegreesToRadians(23.439 - 0.0000004 * n);

    const double rightAscension = std::atan2(std::cos(obliquity) * std::sin(eclipticLongitude),
                                             std::cos(eclipticLongitude));
    const double declination = std::asin(std::sin(obliquity) * std::sin(eclipticLongitude));
    const double siderealDegrees = 15.0 * (18.697374558 + 24.06570982441908 * n);

    double longitude = degreesIn360(osg::RadiansToDegrees(rightAscension) - siderealDegrees);
    if (longitude >= 180.0)
        longitude -= 360.0;
    return osg::Vec2d(longitude, osg::RadiansToDegrees(declination));
}

void SkyNode::updateSun()
{
    const osg::Vec2d under = subsolarPoint(m_dateTime);
    const double lon = osg::DegreesToRadians(under.x()), lat = osg::DegreesToRadians(under.y());
    m_sunDirection.set(std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat));
    // w = 0: a light from infinitely far in that direction.
    m_sun->setPosition(osg::Vec4(m_sunDirection, 0.0));
}

void SkyNode::lightGlobeBySunAlone(int sunLightNumber)
{
    // The view keeps its own light switches in its camera's state and
    // rewrites them when its lighting changes, leaving the default headlight
    // on; it would light the night side as well. The globe decides for
    // itself.
    osg::ref_ptr<MapNode> mapNode;
    if (!m_mapNode.lock(mapNode))
        return;
    osg::StateSet *state = mapNode->getGlobe()->getOrCreateStateSet();
    for (int light = 0; light < 8; ++light) {
        state->setMode(GL_LIGHT0 + light,
                       light == sunLightNumber ? osg::StateAttribute::ON : osg::StateAttribute::OFF);
    }
}

void SkyNode::attach(osg::View *view, int sunLightNumber)
{
    if (!view)
        return;
    m_sun->setLightNum(sunLightNumber);
    // A sky light is placed in world coordinates, not the camera's.
    view->setLightingMode(osg::View::SKY_LIGHT);
    view->setLight(m_sun.get());
    view->getCamera()->setClearColor(osg::Vec4(0.0f, 0.0f, 0.02f, 1.0f));
    lightGlobeBySunAlone(sunLightNumber);
}

} // namespace geo
