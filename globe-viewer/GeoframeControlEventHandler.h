#pragma once

#include <osg/Vec2f>

#include "geo/ControlEventHandler.h"

class GeoviewMapWidget;

// Passes a click on one of the globe's buttons to the globe widget, which
// tells the buttons apart.
class GeoframeControlEventHandler : public geo::ControlEventHandler
{
public:
    explicit GeoframeControlEventHandler(GeoviewMapWidget *widget) : m_widget(widget) {}

    void onClick(geo::Control *control, const osg::Vec2f &pos, int mouseButtonMask) override;

private:
    GeoviewMapWidget *m_widget;
};
