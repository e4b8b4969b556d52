#include "geo/GlobeTile.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osg/MatrixTransform>
#include <osgUtil/CullVisitor>

#include <algorithm>
#include <cmath>

#include "geo/SpatialReference.h"

namespace geo {

namespace {

// Grid cells along each side of a tile.
const int kCells = 16;
// Tiles of about 40 m: far finer than any view splits to, a bound should
// the error ever be misjudged.
const unsigned kMaxLevel = 18;

const osg::EllipsoidModel &ellipsoid()
{
    return *SpatialReference::wgs84Geocentric()->getEllipsoid();
}

osg::Vec3d worldAt(double lat, double lon, double height = 0.0)
{
    double x, y, z;
    ellipsoid().convertLatLongHeightToXYZ(lat, lon, height, x, y, z);
    return osg::Vec3d(x, y, z);
}

osg::Vec3d upAt(double lat, double lon)
{
    return osg::Vec3d(std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat));
}

// The parallel along which a tile is widest: the one nearest the equator.
double widestLatitude(double south, double north)
{
    if (south <= 0.0 && north >= 0.0)
        return 0.0;
    return std::min(std::fabs(south), std::fabs(north));
}

// Deepest a straight cell edge dips below the ellipsoid: the sagitta of the
// widest cell's longer edge, plus a metre; an edge along a parallel bends
// with the parallel's radius. The skirts hang that far so that the seam
// between a tile and a finer neighbour never shows a gap.
double skirtDepth(double west, double south, double east, double north)
{
    const double dLon = (east - west) / kCells, dLat = (north - south) / kCells;
    const double widest = std::cos(widestLatitude(south, north)) * dLon * dLon;
    return ellipsoid().getRadiusEquator() * std::max(widest, dLat * dLat) / 8.0 + 1.0;
}

// A flat triangle strays furthest from the ellipsoid at its circumcentre,
// by the square of its longest side over eight radii: for the grid, the
// diagonal of its widest cell.
double gridError(double west, double south, double east, double north)
{
    const double radius = ellipsoid().getRadiusEquator();
    const double cellWidth = radius * std::cos(widestLatitude(south, north)) * (east - west) / kCells;
    const double cellHeight = radius * (north - south) / kCells;
    return (cellWidth * cellWidth + cellHeight * cellHeight) / (8.0 * radius);
}

struct MeshBuilder
{
    osg::ref_ptr<osg::Vec3Array> vertices = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec3Array> normals = new osg::Vec3Array;
    osg::ref_ptr<osg::Vec2Array> texCoords = new osg::Vec2Array;
    osg::ref_ptr<osg::DrawElementsUShort> triangles = new osg::DrawElementsUShort(GL_TRIANGLES);
    osg::Vec3d origin;

    unsigned short add(double lat, double lon, double height)
    {
        vertices->push_back(worldAt(lat, lon, height) - origin);
        normals->push_back(upAt(lat, lon));
        // The world image runs from -180 to 180 degrees and from the south
        // pole (t = 0, the image's bottom row) to the north pole.
        texCoords->push_back(osg::Vec2((lon + osg::PI) / (2.0 * osg::PI), (lat + osg::PI_2) / osg::PI));
        return static_cast<unsigned short>(vertices->size() - 1);
    }

    void quad(unsigned short sw, unsigned short se, unsigned short ne, unsigned short nw)
    {
        // Counter-clockwise seen from outside the globe.
        for (unsigned short index : {sw, se, ne, sw, ne, nw})
            triangles->push_back(index);
    }
};

// A seam is looked into from the neighbouring tile's side, so a skirt faces
// away from its own tile. `edge` runs west to east or south to north; the
// quads built along it face north or west, and `facingBack` turns them to
// face south or east.
void addSkirt(MeshBuilder &mesh, const std::vector<unsigned short> &edge,
              const std::vector<unsigned short> &lowered, bool facingBack)
{
    for (size_t i = 0; i + 1 < edge.size(); ++i) {
        if (facingBack)
            mesh.quad(lowered[i], lowered[i + 1], edge[i + 1], edge[i]);
        else
            mesh.quad(edge[i], edge[i + 1], lowered[i + 1], lowered[i]);
    }
}

osg::Node *createMesh(double west, double south, double east, double north)
{
    MeshBuilder mesh;
    const double midLat = (south + north) / 2.0, midLon = (west + east) / 2.0;
    mesh.origin = worldAt(midLat, midLon);
    const double dLat = (north - south) / kCells, dLon = (east - west) / kCells;

    for (int row = 0; row <= kCells; ++row)
        for (int column = 0; column <= kCells; ++column)
            mesh.add(south + row * dLat, west + column * dLon, 0.0);
    const auto gridIndex = [](int row, int column) {
        return static_cast<unsigned short>(row * (kCells + 1) + column);
    };
    for (int row = 0; row < kCells; ++row)
        for (int column = 0; column < kCells; ++column)
            mesh.quad(gridIndex(row, column), gridIndex(row, column + 1),
                      gridIndex(row + 1, column + 1), gridIndex(row + 1, column));

    const double depth = -skirtDepth(west, south, east, north);
    // South, north, west and east edges.
    std::vector<unsigned short> edges[4], lowered[4];
    for (int i = 0; i <= kCells; ++i) {
        const int ends[4][2] = {{0, i}, {kCells, i}, {i, 0}, {i, kCells}};
        for (int side = 0; side < 4; ++side) {
            const int row = ends[side][0], column = ends[side][1];
            edges[side].push_back(gridIndex(row, column));
            lowered[side].push_back(mesh.add(south + row * dLat, west + column * dLon, depth));
        }
    }
    const bool facingBack[4] = {true, false, false, true};
    for (int side = 0; side < 4; ++side)
        addSkirt(mesh, edges[side], lowered[side], facingBack[side]);

    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    geometry->setUseDisplayList(false);
    geometry->setUseVertexBufferObjects(true);
    geometry->setVertexArray(mesh.vertices.get());
    geometry->setNormalArray(mesh.normals.get(), osg::Array::BIND_PER_VERTEX);
    geometry->setTexCoordArray(0, mesh.texCoords.get(), osg::Array::BIND_PER_VERTEX);
    geometry->addPrimitiveSet(mesh.triangles.get());

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->addDrawable(geometry.get());
    // Vertices are kept relative to the tile's centre: single-precision
    // coordinates of the size of the earth would wobble by half a metre.
    osg::MatrixTransform *transform = new osg::MatrixTransform(osg::Matrixd::translate(mesh.origin));
    transform->addChild(geode.get());
    return transform;
}

} // namespace

GlobeTile::GlobeTile(unsigned level, double west, double south, double east, double north,
                     osg::StateSet *closeUpState)
    : m_level(level), m_west(west), m_south(south), m_east(east), m_north(north), m_closeUpState(closeUpState)
{
    m_mesh = createMesh(west, south, east, north);
    if (level >= kFirstCloseUpLevel && closeUpState)
        m_mesh->setStateSet(closeUpState);
    m_centerDirection = upAt((south + north) / 2.0, (west + east) / 2.0);
    m_angularRadius = 0.0;
    const double corners[4][2] = {{south, west}, {south, east}, {north, west}, {north, east}};
    for (const auto &corner : corners) {
        const double cosine = std::min(1.0, upAt(corner[0], corner[1]) * m_centerDirection);
        m_angularRadius = std::max(m_angularRadius, std::acos(cosine));
    }
    // A quadrant that touches a pole is widest along its equator-side edge's
    // middle, not at a corner.
    const double edgeMiddle = std::min(1.0, upAt(south, (west + east) / 2.0) * m_centerDirection);
    m_angularRadius = std::max(m_angularRadius, std::acos(edgeMiddle));
    m_geometricError = gridError(west, south, east, north);
}

osg::BoundingSphere GlobeTile::computeBound() const
{
    osg::BoundingSphere bound = m_mesh->getBound();
    // The surface between the grid points bulges past the grid by up to the
    // skirt depth; children must stay inside their parent's sphere.
    bound.radius() += skirtDepth(m_west, m_south, m_east, m_north);
    return bound;
}

void GlobeTile::traverse(osg::NodeVisitor &nv)
{
    if (nv.getVisitorType() == osg::NodeVisitor::CULL_VISITOR)
        cull(nv);
    else if (m_split)
        traverseChildren(nv);
    else
        m_mesh->accept(nv);
}

void GlobeTile::cull(osg::NodeVisitor &nv)
{
    if (belowHorizon(nv.getEyePoint()))
        return;
    if (m_split)
        traverseChildren(nv);
    else
        m_mesh->accept(nv);
}

bool GlobeTile::belowHorizon(const osg::Vec3d &eye) const
{
    // Everything on the ellipsoid lies between the polar and the equatorial
    // sphere. The polar sphere hides what lies further from the eye's
    // direction than its horizon plus the angle by which a point on the
    // equatorial sphere can still peek over it.
    const double b = ellipsoid().getRadiusPolar();
    const double eyeDistance = eye.length();
    if (eyeDistance <= b)
        return false;
    const double reach = std::acos(b / eyeDistance) + std::acos(b / ellipsoid().getRadiusEquator());
    const double angle = std::acos(std::max(-1.0, std::min(1.0, (eye / eyeDistance) * m_centerDirection)));
    return angle - m_angularRadius > reach;
}

double GlobeTile::distanceFrom(const osg::Vec3d &eye, double eyeLatitude, double eyeLongitude) const
{
    const double latitude = std::max(m_south, std::min(m_north, eyeLatitude));
    double distance = (eye - worldAt(latitude, nearestLongitude(eyeLongitude))).length();
    // Across a pole the nearest point is the pole, not on an edge meridian.
    if (touchesPole())
        distance = std::min(distance, (eye - worldAt(m_north > 0.0 ? osg::PI_2 : -osg::PI_2, 0.0)).length());
    return distance;
}

double GlobeTile::nearestLongitude(double longitude) const
{
    if (longitude >= m_west && longitude <= m_east)
        return longitude;
    const auto gap = [longitude](double edge) { return std::fabs(std::remainder(longitude - edge, 2.0 * osg::PI)); };
    return gap(m_west) < gap(m_east) ? m_west : m_east;
}

bool GlobeTile::touchesPole() const
{
    return m_north >= osg::PI_2 || m_south <= -osg::PI_2;
}

bool GlobeTile::isNarrow() const
{
    return std::cos(widestLatitude(m_south, m_north)) * (m_east - m_west) < 0.75 * (m_north - m_south);
}

bool GlobeTile::canSplit() const
{
    return m_level < kMaxLevel;
}

void GlobeTile::split(unsigned pass)
{
    createChildren();
    m_split = true;
    m_lastSplitPass = pass;
}

void GlobeTile::createChildren()
{
    if (m_children[0].valid())
        return;
    const double midLon = (m_west + m_east) / 2.0, midLat = (m_south + m_north) / 2.0;
    const unsigned level = m_level + 1;
    osg::StateSet *state = m_closeUpState.get();
    if (isNarrow()) {
        m_children[0] = new GlobeTile(level, m_west, m_south, m_east, midLat, state);
        m_children[1] = new GlobeTile(level, m_west, midLat, m_east, m_north, state);
        return;
    }
    m_children[0] = new GlobeTile(level, m_west, m_south, midLon, midLat, state);
    m_children[1] = new GlobeTile(level, midLon, m_south, m_east, midLat, state);
    m_children[2] = new GlobeTile(level, m_west, midLat, midLon, m_north, state);
    m_children[3] = new GlobeTile(level, midLon, midLat, m_east, m_north, state);
}

unsigned GlobeTile::dropStaleTiles(unsigned pass, unsigned stalePasses)
{
    if (!m_children[0].valid())
        return 1;
    if (pass - m_lastSplitPass > stalePasses) {
        m_split = false;
        for (auto &child : m_children)
            child = nullptr;
        return 1;
    }
    unsigned held = 1;
    for (auto &child : m_children)
        if (child.valid())
            held += child->dropStaleTiles(pass, stalePasses);
    return held;
}

void GlobeTile::traverseChildren(osg::NodeVisitor &nv)
{
    for (auto &child : m_children)
        if (child.valid())
            child->accept(nv);
}

void GlobeTile::resizeGLObjectBuffers(unsigned maxSize)
{
    m_mesh->resizeGLObjectBuffers(maxSize);
    for (auto &child : m_children)
        if (child.valid())
            child->resizeGLObjectBuffers(maxSize);
}

void GlobeTile::releaseGLObjects(osg::State *state) const
{
    m_mesh->releaseGLObjects(state);
    for (const auto &child : m_children)
        if (child.valid())
            child->releaseGLObjects(state);
}

} // namespace geo
