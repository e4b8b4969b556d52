#pragma once

#include <osg/Geode>
#include <osg/MatrixTransform>
#include <osg/Vec2f>
#include <osg/Vec4f>

#include <optional>
#include <vector>

#include "geo/ControlEventHandler.h"

namespace geo {

// A rectangle on the screen in canvas coordinates: pixels from the top-left
// corner of the view, y growing downwards, as a reader of the screen counts.
struct ControlRect {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;

    bool contains(const osg::Vec2f &point) const
    {
        return point.x() >= x && point.x() < x + width && point.y() >= y && point.y() < y + height;
    }
};

// An element of the on-screen overlay. Its box is its content plus padding,
// unless a size is given; margins keep it away from what surrounds it. A
// control with a position sits there, measured from its parent's top-left
// corner; otherwise its alignments place it within the parent's area. The
// canvas lays every control out before each frame and redraws only those
// whose box or content changed.
class Control : public osg::MatrixTransform
{
public:
    enum Alignment { ALIGN_NONE = 0, ALIGN_LEFT, ALIGN_CENTER, ALIGN_RIGHT, ALIGN_TOP, ALIGN_BOTTOM };
    enum Side { SIDE_TOP = 0, SIDE_BOTTOM, SIDE_LEFT, SIDE_RIGHT };

    Control();

    void setPosition(float x, float y);
    void setSize(float width, float height);
    void setWidth(float width);
    void setHeight(float height);
    void setMargin(float all);
    void setMargin(Side side, float value);
    void setPadding(float all);
    void setPadding(Side side, float value);
    float padding(Side side) const { return m_padding[side]; }
    void setHorizAlign(Alignment align);
    void setVertAlign(Alignment align);
    void setHorizFill(bool fill, float minimum = 0.0f);
    void setVertFill(bool fill, float minimum = 0.0f);

    void setVisible(bool visible);
    bool visible() const { return m_visible; }
    void setForeColor(const osg::Vec4f &colour);
    const osg::Vec4f &foreColor() const { return m_foreColor; }
    void setBackColor(const osg::Vec4f &colour);
    const osg::Vec4f &backColor() const { return m_backColor; }
    void setBorderColor(const osg::Vec4f &colour);
    void setBorderWidth(float width);

    // A control that absorbs events keeps a click on it from reaching the
    // globe underneath. Containers that merely arrange others turn it off.
    void setAbsorbEvents(bool absorb) { m_absorbEvents = absorb; }
    bool absorbEvents() const { return m_absorbEvents; }
    void addEventHandler(ControlEventHandler *handler);
    const std::vector<osg::ref_ptr<ControlEventHandler>> &eventHandlers() const { return m_handlers; }

    // Where the last layout put the control.
    const ControlRect &rect() const { return m_rect; }

    // Layout, driven by the canvas: measure() first, then place() into the
    // area the parent offers. Both are called for visible controls only.
    osg::Vec2f measure();
    void place(const ControlRect &area);
    // Redraws the control and its children where layout or content changed.
    void refresh(const ControlRect &parentRect);
    // The deepest visible control under a canvas point, itself included.
    virtual Control *controlAt(const osg::Vec2f &point);

protected:
    // The natural size of what the control shows, without padding.
    virtual osg::Vec2f contentSize() = 0;
    // Lays out children inside the content area (the box less padding).
    virtual void placeChildren(const ControlRect &) {}
    virtual void refreshChildren() {}
    // Adds the drawables that show the content; (0, 0) is the bottom-left
    // corner of the box, units are pixels.
    virtual void buildContent(osg::Geode &, const osg::Vec2f &) {}
    // Content changed: redraw at the next frame even if the box did not move.
    void contentChanged() { m_contentDirty = true; }

    ControlRect contentRect() const;

private:
    static float placeAlong(Alignment centre, Alignment far, Alignment align, float start,
                            float available, float size);
    void rebuild();
    void addBackground(osg::Geode &geode) const;
    void addBorder(osg::Geode &geode) const;

    std::optional<osg::Vec2f> m_position;
    std::optional<float> m_width;
    std::optional<float> m_height;
    float m_margin[4] = {0, 0, 0, 0};
    float m_padding[4] = {0, 0, 0, 0};
    Alignment m_horizAlign = ALIGN_NONE;
    Alignment m_vertAlign = ALIGN_NONE;
    std::optional<float> m_horizFillMinimum;
    std::optional<float> m_vertFillMinimum;
    bool m_visible = true;
    osg::Vec4f m_foreColor{1, 1, 1, 1};
    osg::Vec4f m_backColor{0, 0, 0, 0};
    osg::Vec4f m_borderColor{0, 0, 0, 0};
    float m_borderWidth = 0.0f;
    bool m_absorbEvents = true;
    std::vector<osg::ref_ptr<ControlEventHandler>> m_handlers;

    osg::Vec2f m_measured;
    ControlRect m_rect;
    ControlRect m_drawnRect;
    bool m_contentDirty = true;
    osg::ref_ptr<osg::Geode> m_geode;
};

} // namespace geo
