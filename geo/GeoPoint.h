#pragma once

#include <osg/Matrixd>
#include <osg/Vec3d>
#include <osg/ref_ptr>

#include "geo/SpatialReference.h"

namespace geo {

// How the height of a point is meant. The terrain is the bare ellipsoid
// (height 0 everywhere), so both modes place a point at the same spot; the
// mode is kept so that callers can say what they mean.
enum AltitudeMode {
    ALTMODE_ABSOLUTE, // z is the height above the ellipsoid
    ALTMODE_RELATIVE  // z is the height above the terrain
};

// A point in a spatial reference: (longitude, latitude, height) in degrees
// and metres for the geographic form, world x, y, z for the geocentric one.
// A default-constructed point has no spatial reference and is invalid;
// operations on an invalid point fail.
class GeoPoint
{
public:
    GeoPoint() = default;
    GeoPoint(const SpatialReference *srs, double x, double y, double z = 0.0,
             AltitudeMode mode = ALTMODE_ABSOLUTE);
    GeoPoint(const SpatialReference *srs, const osg::Vec3d &xyz, AltitudeMode mode = ALTMODE_ABSOLUTE);

    bool isValid() const { return m_srs.valid(); }
    const SpatialReference *getSRS() const { return m_srs.get(); }

    double x() const { return m_xyz.x(); }
    double y() const { return m_xyz.y(); }
    double z() const { return m_xyz.z(); }
    double &x() { return m_xyz.x(); }
    double &y() { return m_xyz.y(); }
    double &z() { return m_xyz.z(); }
    const osg::Vec3d &vec3d() const { return m_xyz; }

    AltitudeMode altitudeMode() const { return m_mode; }
    void setAltitudeMode(AltitudeMode mode) { m_mode = mode; }

    // The same place in another spatial reference; invalid when either side
    // has none.
    GeoPoint transform(const SpatialReference *to) const;

    // World (earth-centred) position of the point.
    bool toWorld(osg::Vec3d &world) const;
    // Sets this point from a world position, expressed in `srs`.
    bool fromWorld(const SpatialReference *srs, const osg::Vec3d &world);

    // East-north-up frame at the point (see SpatialReference).
    bool createLocalToWorld(osg::Matrixd &localToWorld) const;

    // Great-circle distance to another point in metres, on the sphere of the
    // equatorial radius, heights ignored (see GeoMath).
    double distanceTo(const GeoPoint &other) const;

    bool operator==(const GeoPoint &other) const;
    bool operator!=(const GeoPoint &other) const { return !(*this == other); }

private:
    osg::ref_ptr<const SpatialReference> m_srs;
    osg::Vec3d m_xyz;
    AltitudeMode m_mode = ALTMODE_ABSOLUTE;
};

} // namespace geo
