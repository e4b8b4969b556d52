#pragma once

#include <osg/Referenced>
#include <osg/ref_ptr>

#include "geo/LineString.h"
#include "geo/SpatialReference.h"
#include "geo/Style.h"

namespace geo {

// A geometry in a spatial reference, with the style it is drawn in unless
// its node gives another.
class Feature : public osg::Referenced
{
public:
    Feature(LineString *geometry, const SpatialReference *srs, const Style &style = Style());

    LineString *getGeometry() const { return m_geometry.get(); }
    const SpatialReference *getSRS() const { return m_srs.get(); }
    const Style &getStyle() const { return m_style; }
    void setStyle(const Style &style) { m_style = style; }

private:
    osg::ref_ptr<LineString> m_geometry;
    osg::ref_ptr<const SpatialReference> m_srs;
    Style m_style;
};

} // namespace geo
