#pragma once

#include <osg/AutoTransform>
#include <osg/Geode>
#include <osgText/Text>

#include <string>

#include "geo/AnnotationNode.h"
#include "geo/GeoPoint.h"
#include "geo/Style.h"

namespace geo {

// A mark on the globe: the style's icon with the text beside it, facing the
// viewer at a fixed size on the screen, over the ground but hidden while its
// point is behind the earth. A mark without a valid point shows nothing
// until it is given one.
class PlaceNode : public AnnotationNode
{
public:
    PlaceNode(const GeoPoint &position, const std::string &text, const Style &style);

    void setPosition(const GeoPoint &position);
    const GeoPoint &getPosition() const { return m_position; }
    void setText(const std::string &text);
    const std::string &getText() const { return m_text; }
    void setStyle(const Style &style);
    const Style &getStyle() const { return m_style; }
    // A mark whose text or point changes often (a live read-out).
    void setDynamic(bool dynamic);

private:
    void rebuild();
    void place();
    void addIcon(osg::Image *image);
    void addText(const osg::Vec2f &iconSize);

    GeoPoint m_position;
    std::string m_text;
    Style m_style;
    osg::ref_ptr<osg::AutoTransform> m_billboard;
    osg::ref_ptr<osg::Geode> m_geode;
    osg::ref_ptr<osgText::Text> m_label;
};

} // namespace geo
