#pragma once

#include <osg/ref_ptr>

#include "geo/AnnotationNode.h"
#include "geo/Feature.h"
#include "geo/Style.h"

namespace geo {

// Draws a line feature on the globe. It draws what the feature holds when
// init() is called: change the geometry, then init() again. The node's own
// style wins over the feature's when it has any symbol.
class FeatureNode : public AnnotationNode
{
public:
    explicit FeatureNode(Feature *feature, const Style &style = Style());

    Feature *getFeature() const { return m_feature.get(); }
    void setStyle(const Style &style) { m_style = style; }
    const Style &getStyle() const { return m_style; }

    // Rebuilds the drawing: one child holding the line, or none when the
    // feature has fewer than two points.
    void init();

private:
    const Style &effectiveStyle() const;
    std::vector<osg::Vec3d> worldPoints(const Style &style) const;

    osg::ref_ptr<Feature> m_feature;
    Style m_style;
};

} // namespace geo
