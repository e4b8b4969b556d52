#pragma once

#include <osg/ref_ptr>
#include <osgGA/GUIEventHandler>

#include "ScaleBar.h"

// Measures the scale bar again when the operator scrolls or presses a key;
// never consumes the event.
class ScaleBarHandler : public osgGA::GUIEventHandler
{
public:
    explicit ScaleBarHandler(ScaleBar *scaleBar) : m_scaleBar(scaleBar) {}

    using osgGA::GUIEventHandler::handle;
    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa, osg::Object *object,
                osg::NodeVisitor *visitor) override;

private:
    osg::ref_ptr<ScaleBar> m_scaleBar;
};
