#pragma once

#include <osg/CoordinateSystemNode>
#include <osg/Matrixd>
#include <osg/Referenced>
#include <osg/Vec3d>
#include <osg/ref_ptr>

namespace geo {

// A coordinate system on the WGS84 ellipsoid (equatorial radius 6378137 m,
// polar radius 6356752.3142 m). Two forms exist, each a single shared
// instance, so pointers compare equal exactly when the forms do:
//  - geographic: x = longitude, y = latitude (degrees), z = height above the
//    ellipsoid (metres);
//  - geocentric: earth-centred, earth-fixed x, y, z in metres (x through
//    longitude 0 on the equator, z through the north pole). This is also the
//    "world" frame of the scene graph: the globe is drawn in it.
// No projected forms are offered; isProjected() is always false.
class SpatialReference : public osg::Referenced
{
public:
    static const SpatialReference *wgs84Geographic();
    static const SpatialReference *wgs84Geocentric();

    bool isGeographic() const { return m_kind == Kind::Geographic; }
    bool isGeocentric() const { return m_kind == Kind::Geocentric; }
    bool isProjected() const { return false; }

    const SpatialReference *getGeographicSRS() const { return wgs84Geographic(); }
    const SpatialReference *getGeocentricSRS() const { return wgs84Geocentric(); }
    const osg::EllipsoidModel *getEllipsoid() const { return m_ellipsoid.get(); }
    bool isEquivalentTo(const SpatialReference *other) const { return other == this; }

    // Converts a point of this system into `to`. Fails (returns false and
    // leaves `out` alone) for a null target.
    bool transform(const osg::Vec3d &in, const SpatialReference *to, osg::Vec3d &out) const;

    // Converts between this system and the world (geocentric) frame.
    bool transformToWorld(const osg::Vec3d &in, osg::Vec3d &world) const;
    bool transformFromWorld(const osg::Vec3d &world, osg::Vec3d &out) const;

    // The east-north-up frame at a point of this system, as a matrix that
    // takes local coordinates (x east, y north, z up, metres) to world.
    bool createLocalToWorld(const osg::Vec3d &point, osg::Matrixd &localToWorld) const;

private:
    enum class Kind { Geographic, Geocentric };
    explicit SpatialReference(Kind kind);

    Kind m_kind;
    osg::ref_ptr<osg::EllipsoidModel> m_ellipsoid;
};

} // namespace geo
