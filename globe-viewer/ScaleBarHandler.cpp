#include "ScaleBarHandler.h"

#include <osg/View>

bool ScaleBarHandler::handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa,
                             osg::Object *, osg::NodeVisitor *)
{
    if (dynamic_cast<osg::View *>(&aa) == nullptr)
        return false;
    const auto type = ea.getEventType();
    if (type == osgGA::GUIEventAdapter::SCROLL || type == osgGA::GUIEventAdapter::KEYDOWN)
        m_scaleBar->update();
    return false;
}
