#include "geo/Viewpoint.h"

namespace geo {

Viewpoint::Viewpoint(const char *name, double longitude, double latitude, double z, double heading,
                     double pitch, double range)
    : m_name(name ? name : ""),
      m_focalPoint(SpatialReference::wgs84Geographic(), longitude, latitude, z, ALTMODE_ABSOLUTE),
      m_heading(heading),
      m_pitch(pitch),
      m_range(range)
{
}

} // namespace geo
