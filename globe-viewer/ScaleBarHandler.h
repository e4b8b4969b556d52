#pragma once

#include <osg/NodeCallback>
#include <osg/ref_ptr>

#include "ScaleBar.h"

// Measures the scale bar again on every update traversal of the node it is
// the update callback of. On a node above the control canvas it runs before
// the canvas lays its controls out, and after the manipulator has taken the
// frame's wheel, keys, buttons, flights and tether, so whatever changed the
// view, the bar shows the frame it is drawn in.
class ScaleBarHandler : public osg::NodeCallback
{
public:
    explicit ScaleBarHandler(ScaleBar *scaleBar) : m_scaleBar(scaleBar) {}

    void operator()(osg::Node *node, osg::NodeVisitor *visitor) override;

private:
    osg::ref_ptr<ScaleBar> m_scaleBar;
};
