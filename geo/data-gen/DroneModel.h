#pragma once

#include <osg/Node>

// A quadcopter of plain shapes, about 4 m across, nose along +y: big enough
// to tell where the drone points once the viewer scales it up.
osg::ref_ptr<osg::Node> buildDroneModel();
