#include "geo/GlobeSurface.h"

#include <osg/CullFace>
#include <osg/Material>
#include <osg/Texture2D>

#include "geo/GlobeTile.h"

namespace geo {

static osg::StateSet *createSurfaceState(osg::Image *worldImage)
{
    osg::StateSet *state = new osg::StateSet;
    if (worldImage) {
        osg::ref_ptr<osg::Texture2D> texture = new osg::Texture2D(worldImage);
        texture->setWrap(osg::Texture::WRAP_S, osg::Texture::CLAMP_TO_EDGE);
        texture->setWrap(osg::Texture::WRAP_T, osg::Texture::CLAMP_TO_EDGE);
        texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::LINEAR_MIPMAP_LINEAR);
        texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::LINEAR);
        // Keep the image: every new GL context (another view of the same
        // map) uploads it again.
        texture->setUnRefImageDataAfterApply(false);
        state->setTextureAttributeAndModes(0, texture.get(), osg::StateAttribute::ON);
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

GlobeSurface::GlobeSurface(osg::Image *worldImage)
{
    setName("globe surface");
    setStateSet(createSurfaceState(worldImage));
    const double quarter = osg::PI_2;
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 4; ++column) {
            const double west = -osg::PI + column * quarter;
            const double south = -osg::PI_2 + row * quarter;
            addChild(new GlobeTile(0, west, south, west + quarter, south + quarter));
        }
    }
}

} // namespace geo
