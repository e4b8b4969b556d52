#pragma once

#include <osgGA/GUIEventHandler>

#include "geo/EarthManipulator.h"

// The keys '0' (closer) and '1' (farther). Press and release both carry the
// key, so one keystroke zooms twice.
class ZoomEventHandler : public osgGA::GUIEventHandler
{
public:
    explicit ZoomEventHandler(geo::EarthManipulator *manipulator) : m_manipulator(manipulator) {}

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa) override;

private:
    geo::EarthManipulator *m_manipulator;
};
