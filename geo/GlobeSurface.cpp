#include "geo/GlobeSurface.h"

#include <osg/CullFace>
#include <osg/Material>
#include <osg/Texture2D>
#include <osgUtil/CullVisitor>

#include <algorithm>
#include <queue>

#include "geo/GlobeTile.h"
#include "geo/SpatialReference.h"

namespace geo {

namespace {

// A tile splits while its grid strays from the ellipsoid by more than a
// share of its distance from the eye. Seen whole, the globe needs no finer
// grid than a pixel or so at 1280x800. Zoomed in, a pick at a glancing
// angle misses by the error over the angle's sine, and should stay within a
// metre at a few kilometres' range: 2 cm a kilometre, a fortieth of a pixel.
// In between, the share follows the eye's height.
const double kCoarseErrorOverDistance = 5.0e-4;
const double kFineErrorOverDistance = 2.0e-5;
const double kZoomedInHeight = 10000.0; // metres

double maxErrorOverDistance(double eyeHeight)
{
    return std::max(kFineErrorOverDistance,
                    std::min(kCoarseErrorOverDistance, kFineErrorOverDistance * eyeHeight / kZoomedInHeight));
}

// Tiles one frame may keep in view, drawn or split. A screen full of ground
// takes a few hundred; the bound holds when the error is misjudged.
const unsigned kMaxChosenTiles = 1500;
// Cull traversals a split may go unused before its children are dropped,
// and the tiles held before even the most recent unused ones go.
const unsigned kStalePasses = 240;
const unsigned kMaxHeldTiles = 6000;

struct Candidate
{
    double errorOverDistance;
    GlobeTile *tile;
    bool operator<(const Candidate &other) const { return errorOverDistance < other.errorOverDistance; }
};

} // namespace

static osg::Texture2D *createWorldTexture(osg::Image *worldImage, osg::Texture::FilterMode minification)
{
    osg::Texture2D *texture = new osg::Texture2D(worldImage);
    texture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
    texture->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
    texture->setFilter(osg::Texture::MIN_FILTER, minification);
    texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::LINEAR);
    // Keep the image: every new GL context (another view of the same map)
    // uploads it again.
    texture->setUnRefImageDataAfterApply(false);
    return texture;
}

static osg::StateSet *createSurfaceState(osg::Image *worldImage)
{
    osg::StateSet *state = new osg::StateSet;
    if (worldImage) {
        state->setTextureAttributeAndModes(
            0, createWorldTexture(worldImage, osg::Texture::LINEAR_MIPMAP_LINEAR), osg::StateAttribute::ON);
    }
    osg::ref_ptr<osg::Material> material = new osg::Material;
    // Some ambient light keeps the night side readable as land and sea.
    material->setAmbient(osg::Material::FRONT_AND_BACK, osg::Vec4(0.35f, 0.35f, 0.35f, 1.0f));
    material->setDiffuse(osg::Material::FRONT_AND_BACK, osg::Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    material->setSpecular(osg::Material::FRONT_AND_BACK, osg::Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    state->setAttributeAndModes(material.get(), osg::StateAttribute::ON);
    state->setAttributeAndModes(new osg::CullFace(osg::CullFace::BACK), osg::StateAttribute::ON);
    state->setMode(GL_LIGHTING, osg::StateAttribute::ON);
    return state;
}

// Close tiles only magnify the image; sampling it without mipmaps halves
// what the software renderer spends on a screen full of ground.
static osg::StateSet *createCloseUpState(osg::Image *worldImage)
{
    if (!worldImage)
        return nullptr;
    osg::StateSet *state = new osg::StateSet;
    state->setTextureAttributeAndModes(0, createWorldTexture(worldImage, osg::Texture::LINEAR),
                                       osg::StateAttribute::ON);
    return state;
}

GlobeSurface::GlobeSurface(osg::Image *worldImage)
{
    setName("globe surface");
    setStateSet(createSurfaceState(worldImage));
    osg::ref_ptr<osg::StateSet> closeUpState = createCloseUpState(worldImage);
    const double quarter = osg::PI_2;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 4; ++column) {
            const double west = -osg::PI + column * quarter;
            const double south = -osg::PI_2 + row * quarter;
            m_roots.push_back(new GlobeTile(0, west, south, west + quarter, south + quarter, closeUpState.get()));
            addChild(m_roots.back());
        }
    }
}

void GlobeSurface::traverse(osg::NodeVisitor &nv)
{
    if (osgUtil::CullVisitor *cv = nv.asCullVisitor()) {
        ++m_pass;
        chooseTiles(*cv);
        m_heldTiles = dropStaleTiles(kStalePasses);
        if (m_heldTiles > kMaxHeldTiles)
            m_heldTiles = dropStaleTiles(0);
    }
    osg::Group::traverse(nv);
}

void GlobeSurface::chooseTiles(osgUtil::CullVisitor &cv)
{
    const osg::Vec3d eye = cv.getEyePoint();
    double eyeLatitude = 0.0, eyeLongitude = 0.0, eyeHeight = 0.0;
    SpatialReference::wgs84Geocentric()->getEllipsoid()->convertXYZToLatLongHeight(
        eye.x(), eye.y(), eye.z(), eyeLatitude, eyeLongitude, eyeHeight);

    std::priority_queue<Candidate> queue;
    unsigned chosen = 0;
    const auto consider = [&](GlobeTile *tile) {
        tile->merge();
        if (tile->belowHorizon(eye) || cv.isCulled(tile->getBound()))
            return;
        ++chosen;
        const double distance = std::max(1.0, tile->distanceFrom(eye, eyeLatitude, eyeLongitude));
        queue.push({tile->geometricError() / distance, tile});
    };
    for (GlobeTile *root : m_roots)
        consider(root);
    const double maxError = maxErrorOverDistance(eyeHeight);
    while (!queue.empty() && queue.top().errorOverDistance > maxError
           && chosen + GlobeTile::kMaxChildren <= kMaxChosenTiles) {
        GlobeTile *tile = queue.top().tile;
        queue.pop();
        if (!tile->canSplit())
            continue;
        tile->split(m_pass);
        for (unsigned i = 0; i < GlobeTile::kMaxChildren; ++i)
            if (GlobeTile *child = tile->child(i))
                consider(child);
    }
}

unsigned GlobeSurface::dropStaleTiles(unsigned stalePasses)
{
    unsigned held = 0;
    for (GlobeTile *root : m_roots)
        held += root->dropStaleTiles(m_pass, stalePasses);
    return held;
}

} // namespace geo
