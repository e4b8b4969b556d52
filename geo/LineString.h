#pragma once

#include <osg/Referenced>
#include <osg/Vec3d>

#include <vector>

namespace geo {

// The points of a line in order, in the coordinates of the feature that
// holds it: (longitude, latitude, height) for a geographic feature.
class LineString : public osg::Referenced, public std::vector<osg::Vec3d>
{
};

} // namespace geo
