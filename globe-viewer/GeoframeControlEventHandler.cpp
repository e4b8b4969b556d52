#include "GeoframeControlEventHandler.h"

#include "GeoviewMapWidget.h"

void GeoframeControlEventHandler::onClick(geo::Control *control, const osg::Vec2f &pos,
                                          int mouseButtonMask)
{
    m_widget->onControlClicked(control, pos, mouseButtonMask);
}
