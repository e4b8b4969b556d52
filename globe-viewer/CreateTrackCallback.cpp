#include "CreateTrackCallback.h"

#include <osg/LineWidth>
#include <osg/MatrixTransform>

#include <cmath>

namespace {

// A step within this angle of the last segment stretches it. Between two
// keys of the flight path the drone moves on a straight line, to rounding
// well below this; along a parallel or a meridian the path bends by about
// a millionth of a radian per key. Measured against the whole segment, the
// angle also bounds how far a long segment strays from a gently curving
// path: by a few metres at the earth's curvature.
constexpr double kSameDirectionRadians = 1e-3;

// A drawing takes segments until it holds this many vertices (each upload
// of a changed drawing stays small) or reaches this far from its origin
// (single-precision vertices stay within millimetres).
constexpr unsigned int kMostVerticesPerPiece = 4096;
constexpr double kPieceReachMetres = 10000.0;

osg::Vec3d normalised(osg::Vec3d v)
{
    v.normalize(); // leaves a zero vector as it is
    return v;
}

osg::Vec3Array *verticesOf(osg::Geometry *piece)
{
    return static_cast<osg::Vec3Array *>(piece->getVertexArray());
}

// After its vertices changed: upload them again, and cull by the new extent.
void redraw(osg::Geometry *piece)
{
    osg::Vec3Array *vertices = verticesOf(piece);
    static_cast<osg::DrawArrays *>(piece->getPrimitiveSet(0))->setCount(GLsizei(vertices->size()));
    piece->getPrimitiveSet(0)->dirty();
    vertices->dirty();
    piece->dirtyBound();
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
        m_currentPosition = transform->getMatrix().getTrans();
        // Standing still adds nothing; the first segment starts at the
        // world's origin, where the trail's last position starts.
        if (m_currentPosition != m_lastPosition) {
            if (continuesLastSegment(m_currentPosition))
                stretchLastSegment(m_currentPosition);
            else
                addSegment(m_lastPosition, m_currentPosition);
        }
    }
    traverse(node, nv);
    m_lastPosition = m_currentPosition;
}

bool CreateTrackCallback::continuesLastSegment(const osg::Vec3d &end) const
{
    if (!m_piece.valid() || !pieceTakes(end))
        return false;
    return normalised(end - m_lastPosition) * m_direction >= std::cos(kSameDirectionRadians);
}

bool CreateTrackCallback::pieceTakes(const osg::Vec3d &end) const
{
    return (end - m_pieceOrigin).length() <= kPieceReachMetres;
}

void CreateTrackCallback::stretchLastSegment(const osg::Vec3d &end)
{
    osg::ref_ptr<osg::Geometry> piece;
    if (!m_piece.lock(piece))
        return;
    verticesOf(piece.get())->back() = osg::Vec3f(end - m_pieceOrigin);
    redraw(piece.get());
    m_direction = normalised(end - m_segmentStart);
}

void CreateTrackCallback::addSegment(const osg::Vec3d &start, const osg::Vec3d &end)
{
    osg::ref_ptr<osg::Geometry> piece;
    if (m_piece.lock(piece) && verticesOf(piece.get())->size() < kMostVerticesPerPiece && pieceTakes(end)) {
        verticesOf(piece.get())->push_back(osg::Vec3f(start - m_pieceOrigin));
        verticesOf(piece.get())->push_back(osg::Vec3f(end - m_pieceOrigin));
        redraw(piece.get());
    } else {
        // A new drawing starts at the drone, where precision matters.
        m_pieceOrigin = end;
        osg::ref_ptr<osg::Geode> geode = createLineSegment(osg::Vec3f(start - end), osg::Vec3f());
        m_piece = geode->getDrawable(0)->asGeometry();
        osg::ref_ptr<osg::MatrixTransform> origin = new osg::MatrixTransform(osg::Matrixd::translate(end));
        origin->addChild(geode.get());
        m_trackGroup->addChild(origin.get());
    }
    m_segmentStart = start;
    m_direction = normalised(end - start);
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
    // Later segments join this drawing while the scene is drawn.
    geometry->setDataVariance(osg::Object::DYNAMIC);
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
