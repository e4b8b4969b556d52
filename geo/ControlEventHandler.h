#pragma once

#include <osg/Referenced>
#include <osg/Vec2f>

namespace geo {

class Control;

// Told when the operator clicks a control: pressed and released over the
// same control. The position is in pixels from the control's top-left corner.
class ControlEventHandler : public osg::Referenced
{
public:
    virtual void onClick(Control *control, const osg::Vec2f &position, int mouseButtonMask);
};

} // namespace geo
