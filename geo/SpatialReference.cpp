#include "geo/SpatialReference.h"

namespace geo {

// The semi-axes of WGS84 as the scene-graph library's ellipsoid defaults
// give them; stated here because the whole globe depends on them.
static const double kEquatorialRadius = 6378137.0;
static const double kPolarRadius = 6356752.3142;

SpatialReference::SpatialReference(Kind kind)
    : m_kind(kind), m_ellipsoid(new osg::EllipsoidModel(kEquatorialRadius, kPolarRadius))
{
}

const SpatialReference *SpatialReference::wgs84Geographic()
{
    static const osg::ref_ptr<SpatialReference> srs = new SpatialReference(Kind::Geographic);
    return srs.get();
}

const SpatialReference *SpatialReference::wgs84Geocentric()
{
    static const osg::ref_ptr<SpatialReference> srs = new SpatialReference(Kind::Geocentric);
    return srs.get();
}

bool SpatialReference::transformToWorld(const osg::Vec3d &in, osg::Vec3d &world) const
{
    if (isGeocentric()) {
        world = in;
        return true;
    }
    double x, y, z;
    m_ellipsoid->convertLatLongHeightToXYZ(osg::DegreesToRadians(in.y()),
                                           osg::DegreesToRadians(in.x()), in.z(), x, y, z);
    world.set(x, y, z);
    return true;
}

bool SpatialReference::transformFromWorld(const osg::Vec3d &world, osg::Vec3d &out) const
{
    if (isGeocentric()) {
        out = world;
        return true;
    }
    double lat, lon, height;
    m_ellipsoid->convertXYZToLatLongHeight(world.x(), world.y(), world.z(), lat, lon, height);
    out.set(osg::RadiansToDegrees(lon), osg::RadiansToDegrees(lat), height);
    return true;
}

bool SpatialReference::transform(const osg::Vec3d &in, const SpatialReference *to,
                                 osg::Vec3d &out) const
{
    if (!to)
        return false;
    if (to == this) {
        out = in;
        return true;
    }
    osg::Vec3d world;
    return transformToWorld(in, world) && to->transformFromWorld(world, out);
}

bool SpatialReference::createLocalToWorld(const osg::Vec3d &point, osg::Matrixd &localToWorld) const
{
    osg::Vec3d world;
    if (!transformToWorld(point, world))
        return false;
    m_ellipsoid->computeLocalToWorldTransformFromXYZ(world.x(), world.y(), world.z(), localToWorld);
    return true;
}

} // namespace geo
