#include "ScaleBarHandler.h"

void ScaleBarHandler::operator()(osg::Node *node, osg::NodeVisitor *visitor)
{
    m_scaleBar->update();
    traverse(node, visitor);
}
