#pragma once

#include <osg/Vec4f>

#include <string>

namespace geo {

// An RGBA colour of 0..1 floats, with the names and HTML notation that
// styles are written in.
class Color : public osg::Vec4f
{
public:
    Color() : osg::Vec4f(1, 1, 1, 1) {}
    Color(float r, float g, float b, float a = 1.0f) : osg::Vec4f(r, g, b, a) {}
    Color(const osg::Vec4f &rgba) : osg::Vec4f(rgba) {}
    // The same colour with another opacity.
    Color(const Color &rgb, float alpha) : osg::Vec4f(rgb.r(), rgb.g(), rgb.b(), alpha) {}
    // "#rrggbb" or "#rrggbbaa"; anything else gives opaque black.
    explicit Color(const std::string &html);

    static const Color White;
    static const Color Black;
    static const Color Red;
    static const Color Yellow;
    static const Color Cyan;
};

} // namespace geo
