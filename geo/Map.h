#pragma once

#include <osg/Image>
#include <osg/Referenced>
#include <osg/ref_ptr>

#include <string>

#include "geo/SpatialReference.h"

namespace geo {

// What an earth file describes: a geocentric WGS84 globe covered by one
// world image (plate carrée: longitude -180..180 left to right, latitude
// 90..-90 top to bottom). The map has no elevation data; its terrain is the
// bare ellipsoid.
class Map : public osg::Referenced
{
public:
    Map(const std::string &name, osg::Image *worldImage);

    const std::string &getName() const { return m_name; }

    // Coordinates on the map are geographic WGS84 (longitude, latitude in
    // degrees, height in metres); the globe is drawn geocentric.
    const SpatialReference *getSRS() const { return SpatialReference::wgs84Geographic(); }
    bool isGeocentric() const { return true; }

    osg::Image *getWorldImage() const { return m_worldImage.get(); }

    // Height of the terrain above the ellipsoid at a point: always 0.
    double getElevation(double longitude, double latitude) const;

private:
    std::string m_name;
    osg::ref_ptr<osg::Image> m_worldImage;
};

} // namespace geo
