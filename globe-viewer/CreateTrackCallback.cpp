#include "CreateTrackCallback.h"

#include <osg/Geometry>
#include <osg/LineWidth>
#include <osg/MatrixTransform>

namespace {

osg::Vec3f normalised(osg::Vec3f v)
{
    v.normalize(); // leaves a zero vector as it is
    return v;
}

} // namespace

CreateTrackCallback::CreateTrackCallback(osg::Group *trackGroup, osg::Node *node, float lineWidth)
    : m_direction(0, 0, 0)
    , m_lastPosition(0, 0, 0)
    , m_currentPosition(0, 0, 0)
    , m_node(node)
    , m_trackGroup(trackGroup)
    , m_lineWidth(int(lineWidth))
{
}

void CreateTrackCallback::operator()(osg::Node *node, osg::NodeVisitor *nv)
{
    if (auto *transform = dynamic_cast<osg::MatrixTransform *>(node)) {
        m_currentPosition = osg::Vec3f(transform->getMatrix().getTrans());
        if (m_trackGroup->getNumChildren() > 2
            && normalised(m_currentPosition - m_lastPosition) == m_direction)
            m_trackGroup->removeChildren(m_trackGroup->getNumChildren() - 1, 1);
        m_trackGroup->addChild(createLineSegment(m_lastPosition, m_currentPosition));
    }
    traverse(node, nv);
    if (m_trackGroup->getNumChildren() >= 2)
        m_direction = normalised(m_currentPosition - m_lastPosition);
    m_lastPosition = m_currentPosition;
}

osg::ref_ptr<osg::Geode> CreateTrackCallback::createLineSegment(const osg::Vec3f &start,
                                                                const osg::Vec3f &end) const
{
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    vertices->push_back(start);
    vertices->push_back(end);
    geometry->setVertexArray(vertices.get());
    geometry->addPrimitiveSet(new osg::DrawArrays(GL_LINES, 0, 2));
    osg::ref_ptr<osg::Vec4Array> colours = new osg::Vec4Array;
    colours->push_back(osg::Vec4(1, 0, 0, 1));
    geometry->setColorArray(colours.get(), osg::Array::BIND_OVERALL);
    geometry->setDataVariance(osg::Object::STATIC);
    geometry->setUseVertexBufferObjects(true);
    osg::StateSet *lineState = geometry->getOrCreateStateSet();
    lineState->setAttribute(new osg::LineWidth(float(m_lineWidth)));
    lineState->setMode(GL_BLEND, osg::StateAttribute::ON);

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    osg::StateSet *lighting = geode->getOrCreateStateSet();
    lighting->setMode(GL_LIGHTING, osg::StateAttribute::ON);
    lighting->setMode(GL_LIGHT0, osg::StateAttribute::ON);
    lighting->setMode(GL_LIGHT1, osg::StateAttribute::ON);
    return geode;
}
