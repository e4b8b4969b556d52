#include "ZoomEventHandler.h"

namespace {

constexpr double kZoomStep = 0.1;

} // namespace

bool ZoomEventHandler::handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &)
{
    // Events without a key carry 0 here, which matches neither key.
    if (ea.getKey() == '0')
        m_manipulator->zoom(kZoomStep, kZoomStep);
    else if (ea.getKey() == '1')
        m_manipulator->zoom(-kZoomStep, -kZoomStep);
    return false;
}
