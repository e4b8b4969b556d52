#include "geo/Control.h"

#include <osg/Geometry>
#include <osg/LineWidth>

#include <algorithm>

#include "geo/ControlEventHandler.h"

namespace geo {

void ControlEventHandler::onClick(Control *, const osg::Vec2f &, int) {}

namespace {

bool sameRect(const ControlRect &a, const ControlRect &b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

osg::ref_ptr<osg::Geometry> outline(const osg::Vec2f &size, const osg::Vec4f &colour, GLenum mode,
                                    float inset)
{
    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    corners->push_back(osg::Vec3(inset, inset, 0));
    corners->push_back(osg::Vec3(size.x() - inset, inset, 0));
    corners->push_back(osg::Vec3(size.x() - inset, size.y() - inset, 0));
    corners->push_back(osg::Vec3(inset, size.y() - inset, 0));
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array(1, &colour);
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setVertexArray(corners);
    geometry->setColorArray(colours, osg::Array::BIND_OVERALL);
    geometry->addPrimitiveSet(new osg::DrawArrays(mode, 0, 4));
    return geometry;
}

} // namespace

Control::Control()
    : m_geode(new osg::Geode)
{
    addChild(m_geode);
}

void Control::setPosition(float x, float y) { m_position = osg::Vec2f(x, y); }
void Control::setSize(float width, float height)
{
    m_width = width;
    m_height = height;
}
void Control::setWidth(float width) { m_width = width; }
void Control::setHeight(float height) { m_height = height; }

void Control::setMargin(float all) { std::fill(std::begin(m_margin), std::end(m_margin), all); }
void Control::setMargin(Side side, float value) { m_margin[side] = value; }
void Control::setPadding(float all) { std::fill(std::begin(m_padding), std::end(m_padding), all); }
void Control::setPadding(Side side, float value) { m_padding[side] = value; }
void Control::setHorizAlign(Alignment align) { m_horizAlign = align; }
void Control::setVertAlign(Alignment align) { m_vertAlign = align; }

void Control::setHorizFill(bool fill, float minimum)
{
    m_horizFillMinimum = fill ? std::optional<float>(minimum) : std::nullopt;
}

void Control::setVertFill(bool fill, float minimum)
{
    m_vertFillMinimum = fill ? std::optional<float>(minimum) : std::nullopt;
}

void Control::setVisible(bool visible)
{
    m_visible = visible;
    setNodeMask(visible ? ~0u : 0u);
}

void Control::setForeColor(const osg::Vec4f &colour)
{
    m_foreColor = colour;
    contentChanged();
}

void Control::setBackColor(const osg::Vec4f &colour)
{
    m_backColor = colour;
    contentChanged();
}

void Control::setBorderColor(const osg::Vec4f &colour)
{
    m_borderColor = colour;
    contentChanged();
}

void Control::setBorderWidth(float width)
{
    m_borderWidth = width;
    contentChanged();
}

void Control::addEventHandler(ControlEventHandler *handler)
{
    if (handler)
        m_handlers.emplace_back(handler);
}

osg::Vec2f Control::measure()
{
    const osg::Vec2f content = contentSize();
    m_measured.set(m_width ? *m_width : content.x() + m_padding[SIDE_LEFT] + m_padding[SIDE_RIGHT],
                   m_height ? *m_height : content.y() + m_padding[SIDE_TOP] + m_padding[SIDE_BOTTOM]);
    // A parent makes room for the margins as well.
    return m_measured + osg::Vec2f(m_margin[SIDE_LEFT] + m_margin[SIDE_RIGHT],
                                   m_margin[SIDE_TOP] + m_margin[SIDE_BOTTOM]);
}

float Control::placeAlong(Alignment centre, Alignment far, Alignment align, float start,
                          float available, float size)
{
    // ALIGN_NONE and the near side both start at the edge.
    if (align == centre)
        return start + (available - size) / 2.0f;
    if (align == far)
        return start + available - size;
    return start;
}

void Control::place(const ControlRect &area)
{
    const ControlRect inner{area.x + m_margin[SIDE_LEFT], area.y + m_margin[SIDE_TOP],
                            area.width - m_margin[SIDE_LEFT] - m_margin[SIDE_RIGHT],
                            area.height - m_margin[SIDE_TOP] - m_margin[SIDE_BOTTOM]};
    float width = m_measured.x();
    float height = m_measured.y();
    if (m_horizFillMinimum)
        width = std::max(inner.width, *m_horizFillMinimum);
    if (m_vertFillMinimum)
        height = std::max(inner.height, *m_vertFillMinimum);

    if (m_position) {
        m_rect = {inner.x + m_position->x(), inner.y + m_position->y(), width, height};
    } else {
        m_rect = {placeAlong(ALIGN_CENTER, ALIGN_RIGHT, m_horizAlign, inner.x, inner.width, width),
                  placeAlong(ALIGN_CENTER, ALIGN_BOTTOM, m_vertAlign, inner.y, inner.height, height),
                  width, height};
    }
    placeChildren(contentRect());
}

ControlRect Control::contentRect() const
{
    return {m_rect.x + m_padding[SIDE_LEFT], m_rect.y + m_padding[SIDE_TOP],
            m_rect.width - m_padding[SIDE_LEFT] - m_padding[SIDE_RIGHT],
            m_rect.height - m_padding[SIDE_TOP] - m_padding[SIDE_BOTTOM]};
}

void Control::refresh(const ControlRect &parentRect)
{
    // The scene graph counts y upwards from the bottom; the offset is taken
    // between bottom edges so that it does not depend on the canvas height.
    setMatrix(osg::Matrix::translate(m_rect.x - parentRect.x,
                                     (parentRect.y + parentRect.height) - (m_rect.y + m_rect.height), 0.0));
    if (m_contentDirty || !sameRect(m_rect, m_drawnRect))
        rebuild();
    refreshChildren();
}

void Control::rebuild()
{
    m_geode->removeDrawables(0, m_geode->getNumDrawables());
    addBackground(*m_geode);
    addBorder(*m_geode);
    buildContent(*m_geode, osg::Vec2f(m_rect.width, m_rect.height));
    m_drawnRect = m_rect;
    m_contentDirty = false;
}

void Control::addBackground(osg::Geode &geode) const
{
    if (m_backColor.a() > 0.0f)
        geode.addDrawable(outline(osg::Vec2f(m_rect.width, m_rect.height), m_backColor, GL_QUADS, 0.0f));
}

void Control::addBorder(osg::Geode &geode) const
{
    if (m_borderWidth <= 0.0f || m_borderColor.a() <= 0.0f)
        return;
    // Lines run through pixel centres; half a width in keeps them inside.
    osg::ref_ptr<osg::Geometry> border = outline(osg::Vec2f(m_rect.width, m_rect.height), m_borderColor,
                                                 GL_LINE_LOOP, m_borderWidth / 2.0f);
    border->getOrCreateStateSet()->setAttributeAndModes(new osg::LineWidth(m_borderWidth));
    geode.addDrawable(border);
}

Control *Control::controlAt(const osg::Vec2f &point)
{
    return m_visible && m_rect.contains(point) ? this : nullptr;
}

} // namespace geo
