#include "geo/HBox.h"

#include <algorithm>

namespace geo {

void HBox::addControl(Control *control)
{
    if (!control)
        return;
    m_controls.emplace_back(control);
    adopt(control);
}

void HBox::removeControl(Control *control)
{
    m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
    disown(control);
}

std::vector<Control *> HBox::childControls() const
{
    std::vector<Control *> children;
    for (const auto &control : m_controls)
        children.push_back(control.get());
    return children;
}

osg::Vec2f HBox::contentSize()
{
    m_outerSizes.clear();
    osg::Vec2f size;
    for (const auto &control : m_controls) {
        const osg::Vec2f outer = control->visible() ? control->measure() : osg::Vec2f();
        m_outerSizes.push_back(outer);
        if (!control->visible())
            continue;
        if (size.x() > 0.0f)
            size.x() += childSpacing();
        size.x() += outer.x();
        size.y() = std::max(size.y(), outer.y());
    }
    return size;
}

void HBox::placeChildren(const ControlRect &area)
{
    float x = area.x;
    for (size_t i = 0; i < m_controls.size(); ++i) {
        if (!m_controls[i]->visible())
            continue;
        m_controls[i]->place({x, area.y, m_outerSizes[i].x(), area.height});
        x += m_outerSizes[i].x() + childSpacing();
    }
}

} // namespace geo
