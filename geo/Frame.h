#pragma once

#include "geo/Control.h"

namespace geo {

// A box that shows nothing but its background and border; its size is
// whatever it is given.
class Frame : public Control
{
protected:
    osg::Vec2f contentSize() override { return osg::Vec2f(); }
};

} // namespace geo
