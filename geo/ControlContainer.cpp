#include "geo/ControlContainer.h"

namespace geo {

ControlContainer::ControlContainer()
{
    setAbsorbEvents(false);
}

Control *ControlContainer::controlAt(const osg::Vec2f &point)
{
    if (!Control::controlAt(point))
        return nullptr;
    const std::vector<Control *> children = childControls();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if (Control *hit = (*it)->controlAt(point))
            return hit;
    }
    return this;
}

void ControlContainer::refreshChildren()
{
    for (Control *child : childControls()) {
        if (child->visible())
            child->refresh(rect());
    }
}

void ControlContainer::adopt(Control *control)
{
    if (control && !containsNode(control))
        addChild(control);
}

void ControlContainer::disown(Control *control)
{
    removeChild(control);
}

} // namespace geo
