#include "GaussKrugerProjection.h"

#include <osg/Math>

#include <cmath>

namespace {

constexpr double kA = 6378245.0;
constexpr double kB = 6356863.019;
constexpr double kScale = 1.0;
constexpr double kLatitudeOfOrigin = 0.0;
constexpr double kFalseNorthing = 0.0;

// The meridian arc from the latitude of origin to phi (its series in n).
double meridianArc(double phi, double n)
{
    const double n2 = n * n, n3 = n2 * n;
    const double dPhi = phi - kLatitudeOfOrigin, sPhi = phi + kLatitudeOfOrigin;
    return kB * kScale
           * ((1 + n + 1.25 * n2 + 1.25 * n3) * dPhi
              - (3 * n + 3 * n2 + 2.625 * n3) * std::sin(dPhi) * std::cos(sPhi)
              + (1.875 * n2 + 1.875 * n3) * std::sin(2 * dPhi) * std::cos(2 * sPhi)
              - 1.4583333333333333 * n3 * std::sin(3 * dPhi) * std::cos(3 * sPhi));
}

} // namespace

GaussKrugerProjection GaussKrugerProjection::fromLatLon(double latitudeDeg, double longitudeDeg)
{
    const double e2 = (kA * kA - kB * kB) / (kA * kA);
    const double n = (kA - kB) / (kA + kB);

    // Truncated toward zero: west of Greenwich down to -6 degrees is zone 0.
    const int zone = int(longitudeDeg / 6 + 1);
    const double centralMeridian = osg::DegreesToRadians(double(zone * 6 - 3));
    const double falseEasting = zone * 1000000.0 + 500000.0;

    const double phi = osg::DegreesToRadians(latitudeDeg);
    const double dLambda = osg::DegreesToRadians(longitudeDeg) - centralMeridian;
    const double s = std::sin(phi), c = std::cos(phi), t = std::tan(phi);
    const double t2 = t * t;

    const double nu = kA * kScale * std::pow(1 - e2 * s * s, -0.5);
    const double rho = kA * kScale * (1 - e2) * std::pow(1 - e2 * s * s, -1.5);
    const double eta2 = nu / rho - 1;

    const double I = meridianArc(phi, n) + kFalseNorthing;
    const double II = nu / 2 * s * c;
    const double III = nu / 24 * s * std::pow(c, 3) * (5 - t2 + 9 * eta2);
    const double IIIA = nu / 720 * s * std::pow(c, 5) * (61 - 58 * t2 + t2 * t2);
    const double IV = nu * c;
    const double V = nu / 6 * std::pow(c, 3) * (nu / rho - t2);
    const double VI = nu / 120 * std::pow(c, 5) * (5 - 18 * t2 + t2 * t2 + 14 * eta2 - 58 * t2 * eta2);

    GaussKrugerProjection plane;
    plane.northing = I + II * std::pow(dLambda, 2) + III * std::pow(dLambda, 4) + IIIA * std::pow(dLambda, 6);
    plane.easting = falseEasting + IV * dLambda + V * std::pow(dLambda, 3) + VI * std::pow(dLambda, 5);
    return plane;
}
