#include "geo/EllipsoidGeodesic.h"

#include <osg/Vec3d>

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "geo/GeoMath.h"

namespace geo {

namespace {

constexpr double a = 6378137.0;
constexpr double f = 1.0 / 298.257223563;
constexpr double b = a * (1.0 - f);
constexpr int iterationLimit = 200;

// Vincenty's inverse solution; false when the iteration does not settle,
// which happens only for nearly antipodal points.
bool vincenty(double lat1, double lon1, double lat2, double lon2, double &metres)
{
    const double L = lon2 - lon1;
    const double U1 = std::atan((1.0 - f) * std::tan(lat1));
    const double U2 = std::atan((1.0 - f) * std::tan(lat2));
    const double sinU1 = std::sin(U1), cosU1 = std::cos(U1);
    const double sinU2 = std::sin(U2), cosU2 = std::cos(U2);

    double lambda = L;
    for (int i = 0; i < iterationLimit; ++i) {
        const double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);
        const double sinSigma = std::hypot(cosU2 * sinLambda, cosU1 * sinU2 - sinU1 * cosU2 * cosLambda);
        if (sinSigma == 0.0) {
            metres = 0.0; // the same point
            return true;
        }
        const double cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
        const double sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
        const double cos2Alpha = 1.0 - sinAlpha * sinAlpha;
        // On the equator cos2Alpha is 0 and the term vanishes.
        const double cos2SigmaM = cos2Alpha != 0.0 ? cosSigma - 2.0 * sinU1 * sinU2 / cos2Alpha : 0.0;
        const double C = f / 16.0 * cos2Alpha * (4.0 + f * (4.0 - 3.0 * cos2Alpha));
        const double previous = lambda;
        lambda = L + (1.0 - C) * f * sinAlpha
            * (sigma + C * sinSigma * (cos2SigmaM + C * cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)));
        if (std::fabs(lambda - previous) < 1e-12) {
            const double u2 = cos2Alpha * (a * a - b * b) / (b * b);
            const double A = 1.0 + u2 / 16384.0 * (4096.0 + u2 * (-768.0 + u2 * (320.0 - 175.0 * u2)));
            const double B = u2 / 1024.0 * (256.0 + u2 * (-128.0 + u2 * (74.0 - 47.0 * u2)));
            const double deltaSigma = B * sinSigma
                * (cos2SigmaM + B / 4.0 * (cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)
                   - B / 6.0 * cos2SigmaM * (-3.0 + 4.0 * sinSigma * sinSigma)
                       * (-3.0 + 4.0 * cos2SigmaM * cos2SigmaM)));
            metres = b * A * (sigma - deltaSigma);
            return true;
        }
    }
    return false;
}

osg::Vec3d direction(double lat, double lon)
{
    return osg::Vec3d(std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat));
}

// Length of the way from point 1 over the point in direction m to point 2,
// each half by Vincenty; m lies far enough from both ends that each half
// converges. Infinite where one does not.
double via(const osg::Vec3d &m, double lat1, double lon1, double lat2, double lon2)
{
    const double lat = std::asin(std::max(-1.0, std::min(1.0, m.z()))), lon = std::atan2(m.y(), m.x());
    double first = 0.0, second = 0.0;
    if (!vincenty(lat1, lon1, lat, lon, first) || !vincenty(lat, lon, lat2, lon2, second))
        return HUGE_VAL;
    return first + second;
}

// For nearly antipodal points: the geodesic is the shortest way, so its
// length is the least, over all points in between, of the two halves'
// lengths through that point. Start from the best of a ring of points a
// quarter of the way round from point 1, then close in on the least by
// ever smaller steps across the surface. Near the least the sum changes
// with the square of the step, so the length comes out far finer than the
// point it is found at.
double antipodal(double lat1, double lon1, double lat2, double lon2)
{
    osg::Vec3d best;
    double shortest = HUGE_VAL;
    for (int k = 0; k < 36; ++k) {
        double lat = 0.0, lon = 0.0;
        GeoMath::destination(lat1, lon1, k * M_PI / 18.0, M_PI / 2.0, lat, lon, 1.0);
        const osg::Vec3d m = direction(lat, lon);
        const double length = via(m, lat1, lon1, lat2, lon2);
        if (length < shortest) {
            shortest = length;
            best = m;
        }
    }
    // Each try either shortens the way or halves the step; the bound only
    // guards against rounding that keeps shortening it by nothing.
    constexpr int triesLimit = 5000;
    double step = M_PI / 36.0;
    for (int tries = 0; step > 1e-10 && tries < triesLimit; ++tries) {
        // Two directions across the surface at the current point.
        osg::Vec3d east = osg::Vec3d(0.0, 0.0, 1.0) ^ best;
        if (east.length2() < 1e-12)
            east = osg::Vec3d(0.0, 1.0, 0.0);
        east.normalize();
        const osg::Vec3d north = best ^ east;
        bool moved = false;
        for (const osg::Vec3d &across : {east, -east, north, -north}) {
            osg::Vec3d m = best + across * step;
            m.normalize();
            const double length = via(m, lat1, lon1, lat2, lon2);
            if (length < shortest) {
                shortest = length;
                best = m;
                moved = true;
            }
        }
        if (!moved)
            step /= 2.0;
    }
    return shortest;
}

} // namespace

double EllipsoidGeodesic::distance(double lat1, double lon1, double lat2, double lon2)
{
    double metres = 0.0;
    return vincenty(lat1, lon1, lat2, lon2, metres) ? metres : antipodal(lat1, lon1, lat2, lon2);
}

} // namespace geo
