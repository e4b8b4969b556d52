#include "GeoframeUIEventHandler.h"

#include "GeoviewMapWidget.h"

bool GeoframeUIEventHandler::handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    return m_widget->handleMapEvent(ea, aa);
}
