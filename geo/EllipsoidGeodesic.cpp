#include "geo/EllipsoidGeodesic.h"

#include <cmath>

#include "geo/GeoMath.h"

namespace geo {

namespace {

constexpr double a = 6378137.0;
constexpr double f = 1.0 / 298.257223563;
constexpr double b = a * (1.0 - f);
constexpr double meanRadius = (2.0 * a + b) / 3.0;
constexpr int iterationLimit = 200;

} // namespace

double EllipsoidGeodesic::distance(double lat1, double lon1, double lat2, double lon2)
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
        if (sinSigma == 0.0)
            return 0.0; // the same point
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
            return b * A * (sigma - deltaSigma);
        }
    }
    return GeoMath::distance(lat1, lon1, lat2, lon2, meanRadius);
}

} // namespace geo
