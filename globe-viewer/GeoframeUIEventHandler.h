#pragma once

#include <osgGA/GUIEventHandler>

class GeoviewMapWidget;

// Hands every event of the view to the globe widget, which never consumes
// one, so the manipulator and the other handlers still see it.
class GeoframeUIEventHandler : public osgGA::GUIEventHandler
{
public:
    explicit GeoframeUIEventHandler(GeoviewMapWidget *widget) : m_widget(widget) {}

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa) override;

private:
    GeoviewMapWidget *m_widget;
};
