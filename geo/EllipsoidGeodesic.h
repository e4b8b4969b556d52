#pragma once

namespace geo {

// Lengths of geodesics on the WGS84 ellipsoid, the shortest ways over the
// earth's true shape; a sphere is off by up to half a percent.
class EllipsoidGeodesic
{
public:
    // Metres between two points given in radians. Vincenty's inverse
    // solution, good to a fraction of a millimetre; for nearly antipodal
    // points, where it does not converge, the least length over a point in
    // between, each half by Vincenty, good to well under a metre.
    static double distance(double lat1, double lon1, double lat2, double lon2);
};

} // namespace geo
