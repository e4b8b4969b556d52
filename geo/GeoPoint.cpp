#include "geo/GeoPoint.h"

#include "geo/GeoMath.h"

namespace geo {

GeoPoint::GeoPoint(const SpatialReference *srs, double x, double y, double z, AltitudeMode mode)
    : m_srs(srs), m_xyz(x, y, z), m_mode(mode)
{
}

GeoPoint::GeoPoint(const SpatialReference *srs, const osg::Vec3d &xyz, AltitudeMode mode)
    : m_srs(srs), m_xyz(xyz), m_mode(mode)
{
}

GeoPoint GeoPoint::transform(const SpatialReference *to) const
{
    osg::Vec3d out;
    if (!isValid() || !m_srs->transform(m_xyz, to, out))
        return GeoPoint();
    return GeoPoint(to, out, m_mode);
}

bool GeoPoint::toWorld(osg::Vec3d &world) const
{
    return isValid() && m_srs->transformToWorld(m_xyz, world);
}

bool GeoPoint::fromWorld(const SpatialReference *srs, const osg::Vec3d &world)
{
    osg::Vec3d out;
    if (!srs || !srs->transformFromWorld(world, out))
        return false;
    m_srs = srs;
    m_xyz = out;
    m_mode = ALTMODE_ABSOLUTE;
    return true;
}

bool GeoPoint::createLocalToWorld(osg::Matrixd &localToWorld) const
{
    return isValid() && m_srs->createLocalToWorld(m_xyz, localToWorld);
}

double GeoPoint::distanceTo(const GeoPoint &other) const
{
    if (!isValid() || !other.isValid())
        return 0.0;
    const GeoPoint there = other.transform(m_srs.get());
    return GeoMath::distance(m_xyz, there.vec3d(), m_srs.get());
}

bool GeoPoint::operator==(const GeoPoint &other) const
{
    return m_srs == other.m_srs && m_xyz == other.m_xyz && m_mode == other.m_mode;
}

} // namespace geo
