#pragma once

#include <osgText/Font>
#include <osgText/Text>

#include <string>

#include "geo/Control.h"

namespace geo {

// A line (or lines) of text. The text colour is the foreground colour; a
// halo colour draws an outline that keeps the text readable on any ground.
class LabelControl : public Control
{
public:
    explicit LabelControl(const std::string &text = std::string(), float fontSize = 18.0f,
                          const osg::Vec4f &colour = osg::Vec4f(1, 1, 1, 1));

    void setText(const std::string &text);
    const std::string &text() const { return m_text; }
    void setFont(osgText::Font *font);
    void setFontSize(float size);
    float fontSize() const { return m_fontSize; }
    void setEncoding(osgText::String::Encoding encoding);
    void setHaloColor(const osg::Vec4f &colour);

protected:
    osg::Vec2f contentSize() override;
    void buildContent(osg::Geode &geode, const osg::Vec2f &size) override;

private:
    void remakeText();

    std::string m_text;
    float m_fontSize;
    osg::ref_ptr<osgText::Font> m_font;
    osgText::String::Encoding m_encoding = osgText::String::ENCODING_UTF8;
    std::optional<osg::Vec4f> m_haloColor;
    osg::ref_ptr<osgText::Text> m_drawable;
};

} // namespace geo
