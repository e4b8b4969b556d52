#pragma once

// Plane coordinates of the Gauss–Krüger projection: transverse Mercator
// on 6-degree zones of the Krasovsky ellipsoid, the zone number leading
// the easting. The zone comes from the point's own longitude, so points on
// either side of a zone border are a whole zone apart in easting.
struct GaussKrugerProjection
{
    double northing = 0.0;
    double easting = 0.0;

    static GaussKrugerProjection fromLatLon(double latitudeDeg, double longitudeDeg);
};
