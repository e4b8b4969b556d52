#include "geo/GeoMath.h"

#include <osg/Math>

#include <algorithm>
#include <cmath>

#include "geo/SpatialReference.h"

namespace geo {

double GeoMath::distance(double lat1, double lon1, double lat2, double lon2, double radius)
{
    const double sinHalfDLat = std::sin((lat2 - lat1) / 2.0);
    const double sinHalfDLon = std::sin((lon2 - lon1) / 2.0);
    const double a = sinHalfDLat * sinHalfDLat
                     + std::cos(lat1) * std::cos(lat2) * sinHalfDLon * sinHalfDLon;
    // Rounding can push a past 1 for antipodal points.
    const double c = 2.0 * std::asin(std::sqrt(std::min(1.0, a)));
    return radius * c;
}

double GeoMath::distance(const osg::Vec3d &p1, const osg::Vec3d &p2, const SpatialReference *srs)
{
    if (!srs)
        return 0.0;
    osg::Vec3d g1, g2;
    const SpatialReference *geographic = srs->getGeographicSRS();
    if (!srs->transform(p1, geographic, g1) || !srs->transform(p2, geographic, g2))
        return 0.0;
    return distance(osg::DegreesToRadians(g1.y()), osg::DegreesToRadians(g1.x()),
                    osg::DegreesToRadians(g2.y()), osg::DegreesToRadians(g2.x()),
                    srs->getEllipsoid()->getRadiusEquator());
}

double GeoMath::bearing(double lat1, double lon1, double lat2, double lon2)
{
    const double dLon = lon2 - lon1;
    const double y = std::sin(dLon) * std::cos(lat2);
    const double x = std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dLon);
    const double course = std::atan2(y, x);
    return course < 0.0 ? course + 2.0 * M_PI : course;
}

void GeoMath::destination(double lat1, double lon1, double bearing, double distance,
                          double &outLat, double &outLon, double radius)
{
    const double angular = distance / radius;
    const double sinLat = std::sin(lat1) * std::cos(angular)
                          + std::cos(lat1) * std::sin(angular) * std::cos(bearing);
    outLat = std::asin(std::max(-1.0, std::min(1.0, sinLat)));
    const double y = std::sin(bearing) * std::sin(angular) * std::cos(lat1);
    const double x = std::cos(angular) - std::sin(lat1) * sinLat;
    outLon = normalizeLongitude(lon1 + std::atan2(y, x));
}

double GeoMath::normalizeLongitude(double lon)
{
    const double wrapped = std::fmod(lon + M_PI, 2.0 * M_PI);
    return (wrapped < 0.0 ? wrapped + 2.0 * M_PI : wrapped) - M_PI;
}

} // namespace geo
