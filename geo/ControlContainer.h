#pragma once

#include "geo/Control.h"

namespace geo {

// A control that arranges others. It draws only its own background and
// border, and by default lets clicks between its children through.
class ControlContainer : public Control
{
public:
    ControlContainer();

    void setChildSpacing(float spacing) { m_childSpacing = spacing; }
    float childSpacing() const { return m_childSpacing; }

    Control *controlAt(const osg::Vec2f &point) override;

protected:
    // Children in drawing order; the later one is on top.
    virtual std::vector<Control *> childControls() const = 0;
    void refreshChildren() override;
    void adopt(Control *control);
    void disown(Control *control);

private:
    float m_childSpacing = 0.0f;
};

} // namespace geo
