#include "geo/ControlEventHandler.h"

namespace geo {

void ControlEventHandler::onClick(Control *, const osg::Vec2f &, int) {}

} // namespace geo
