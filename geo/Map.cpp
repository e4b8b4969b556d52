#include "geo/Map.h"

namespace geo {

Map::Map(const std::string &name, osg::Image *worldImage) : m_name(name), m_worldImage(worldImage)
{
}

double Map::getElevation(double, double) const
{
    return 0.0;
}

} // namespace geo
