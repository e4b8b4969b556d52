#include "geo/LabelControl.h"

#include <algorithm>

#include "geo/FontFileLookup.h"

namespace geo {

LabelControl::LabelControl(const std::string &text, float fontSize, const osg::Vec4f &colour)
    : m_text(text)
    , m_fontSize(fontSize)
{
    FontFileLookup::install();
    setForeColor(colour);
    remakeText();
}

void LabelControl::setText(const std::string &text)
{
    if (text == m_text)
        return;
    m_text = text;
    remakeText();
}

void LabelControl::setFont(osgText::Font *font)
{
    m_font = font;
    remakeText();
}

void LabelControl::setFontSize(float size)
{
    m_fontSize = size;
    remakeText();
}

void LabelControl::setEncoding(osgText::String::Encoding encoding)
{
    m_encoding = encoding;
    remakeText();
}

void LabelControl::setHaloColor(const osg::Vec4f &colour)
{
    m_haloColor = colour;
    remakeText();
}

void LabelControl::remakeText()
{
    // A fresh drawable each time: the old one may still be in the frame
    // being drawn, and labels change seldom enough for this not to matter.
    m_drawable = new osgText::Text;
    if (m_font)
        m_drawable->setFont(m_font.get());
    const unsigned resolution = unsigned(std::max(8.0f, m_fontSize));
    m_drawable->setFontResolution(resolution, resolution);
    m_drawable->setCharacterSize(m_fontSize);
    m_drawable->setAlignment(osgText::Text::LEFT_TOP);
    m_drawable->setDataVariance(osg::Object::DYNAMIC);
    if (m_haloColor) {
        m_drawable->setBackdropType(osgText::Text::OUTLINE);
        m_drawable->setBackdropColor(*m_haloColor);
    }
    m_drawable->setText(m_text, m_encoding);
    contentChanged();
}

osg::Vec2f LabelControl::contentSize()
{
    const osg::BoundingBox &box = m_drawable->getBoundingBox();
    const float lines = float(std::max(1u, m_drawable->getLineCount()));
    const float width = box.valid() ? box.xMax() - box.xMin() : 0.0f;
    const float height = box.valid() ? box.yMax() - box.yMin() : 0.0f;
    return osg::Vec2f(width, std::max(height, lines * m_fontSize));
}

void LabelControl::buildContent(osg::Geode &geode, const osg::Vec2f &size)
{
    m_drawable->setColor(foreColor());
    m_drawable->setPosition(osg::Vec3(padding(SIDE_LEFT), size.y() - padding(SIDE_TOP), 0.0f));
    geode.addDrawable(m_drawable);
}

} // namespace geo
