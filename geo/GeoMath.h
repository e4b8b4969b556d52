#pragma once

#include <osg/Vec3d>

namespace geo {

class SpatialReference;

// Great-circle geometry on a sphere. Angles are radians, distances metres.
// The default radius is the WGS84 equatorial radius, the sphere the globe's
// distance read-outs are measured on.
class GeoMath
{
public:
    static constexpr double kDefaultRadius = 6378137.0;

    // Distance along the great circle between two points (haversine form,
    // which stays accurate for short distances).
    static double distance(double lat1, double lon1, double lat2, double lon2,
                           double radius = kDefaultRadius);

    // Distance between two points given in `srs`: (longitude, latitude in
    // degrees, height) for a geographic reference, world x, y, z for the
    // geocentric one. Heights are ignored; the sphere has the reference's
    // equatorial radius. 0 without a reference.
    static double distance(const osg::Vec3d &p1, const osg::Vec3d &p2, const SpatialReference *srs);

    // Initial course from point 1 to point 2, clockwise from north, in
    // [0, 2 pi).
    static double bearing(double lat1, double lon1, double lat2, double lon2);

    // The point reached from (lat1, lon1) after `distance` along the great
    // circle that starts with course `bearing`. The longitude is normalised
    // into [-pi, pi).
    static void destination(double lat1, double lon1, double bearing, double distance,
                            double &outLat, double &outLon, double radius = kDefaultRadius);

    // Longitude in radians wrapped into [-pi, pi).
    static double normalizeLongitude(double lon);
};

} // namespace geo
