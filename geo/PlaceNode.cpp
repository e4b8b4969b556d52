#include "geo/PlaceNode.h"

#include <osg/Geometry>
#include <osg/Texture2D>
#include <osgDB/ReadFile>
#include <osgText/Font>

#include <map>

#include "geo/FontFileLookup.h"
#include "geo/IconSymbol.h"
#include "geo/RenderSymbol.h"
#include "geo/TextSymbol.h"

namespace geo {

namespace {

// Marks drawn after the globe and over it; the horizon test hides the ones
// on the far side.
constexpr int markBin = 20;

// Every mark of one style shows the same icon: read and upload it once.
osg::Texture2D *iconTexture(const std::string &url)
{
    static std::map<std::string, osg::ref_ptr<osg::Texture2D>> textures;
    auto found = textures.find(url);
    if (found != textures.end())
        return found->second.get();
    osg::ref_ptr<osg::Image> image = osgDB::readRefImageFile(url);
    osg::ref_ptr<osg::Texture2D> texture = image ? new osg::Texture2D(image.get()) : nullptr;
    if (texture)
        texture->setResizeNonPowerOfTwoHint(false);
    textures[url] = texture;
    return texture.get();
}

} // namespace

PlaceNode::PlaceNode(const GeoPoint &position, const std::string &text, const Style &style)
    : m_position(position)
    , m_text(text)
    , m_style(style)
    , m_billboard(new osg::AutoTransform)
{
    FontFileLookup::install();
    m_billboard->setAutoRotateMode(osg::AutoTransform::ROTATE_TO_SCREEN);
    m_billboard->setAutoScaleToScreen(true);
    osg::StateSet *state = m_billboard->getOrCreateStateSet();
    state->setMode(GL_DEPTH_TEST, osg::StateAttribute::OFF);
    state->setMode(GL_BLEND, osg::StateAttribute::ON);
    state->setRenderBinDetails(markBin, "DepthSortedBin");
    addChild(m_billboard);
    rebuild();
}

void PlaceNode::setPosition(const GeoPoint &position)
{
    m_position = position;
    place();
}

void PlaceNode::setText(const std::string &text)
{
    m_text = text;
    const TextSymbol *symbol = m_style.get<TextSymbol>();
    m_label->setText(m_text, symbol ? symbol->encoding : osgText::String::ENCODING_UTF8);
}

void PlaceNode::setStyle(const Style &style)
{
    m_style = style;
    rebuild();
}

void PlaceNode::setDynamic(bool dynamic)
{
    setDataVariance(dynamic ? osg::Object::DYNAMIC : osg::Object::STATIC);
    if (m_label)
        m_label->setDataVariance(dynamic ? osg::Object::DYNAMIC : osg::Object::STATIC);
}

void PlaceNode::rebuild()
{
    m_billboard->removeChildren(0, m_billboard->getNumChildren());
    m_geode = new osg::Geode;
    m_label = nullptr;
    const RenderSymbol *render = m_style.get<RenderSymbol>();
    m_geode->getOrCreateStateSet()->setMode(GL_LIGHTING, render && render->lighting ? osg::StateAttribute::ON
                                                                                    : osg::StateAttribute::OFF);
    osg::Vec2f iconSize;
    if (const IconSymbol *icon = m_style.get<IconSymbol>()) {
        osg::Texture2D *texture = iconTexture(icon->url);
        if (texture && texture->getImage()) {
            iconSize.set(float(texture->getImage()->s()), float(texture->getImage()->t()));
            addIcon(texture->getImage());
        }
    }
    addText(iconSize);
    m_billboard->addChild(m_geode);
    place();
}

void PlaceNode::addIcon(osg::Image *image)
{
    // The icon stands on its point: the tip of a pin is its bottom middle.
    const float w = float(image->s());
    const float h = float(image->t());
    osg::ref_ptr<osg::Geometry> quad = osg::createTexturedQuadGeometry(
        osg::Vec3(-w / 2.0f, 0.0f, 0.0f), osg::Vec3(w, 0.0f, 0.0f), osg::Vec3(0.0f, h, 0.0f));
    quad->getOrCreateStateSet()->setTextureAttributeAndModes(0, iconTexture(m_style.get<IconSymbol>()->url));
    m_geode->addDrawable(quad);
}

void PlaceNode::addText(const osg::Vec2f &iconSize)
{
    static const TextSymbol plain;
    const TextSymbol *symbol = m_style.get<TextSymbol>() ? m_style.get<TextSymbol>() : &plain;
    m_label = new osgText::Text;
    if (!symbol->font.empty())
        m_label->setFont(osgText::readRefFontFile(symbol->font));
    m_label->setCharacterSize(symbol->size);
    const unsigned resolution = unsigned(std::max(8.0f, symbol->size));
    m_label->setFontResolution(resolution, resolution);
    m_label->setColor(symbol->fill);
    if (symbol->halo) {
        m_label->setBackdropType(osgText::Text::OUTLINE);
        m_label->setBackdropColor(symbol->halo->color);
        m_label->setBackdropOffset(symbol->halo->offset);
    }
    if (symbol->alignment) {
        m_label->setAlignment(*symbol->alignment);
    } else {
        // Beside the icon, level with its middle.
        m_label->setAlignment(osgText::Text::LEFT_CENTER);
        m_label->setPosition(osg::Vec3(iconSize.x() / 2.0f + 2.0f, iconSize.y() / 2.0f, 0.0f));
    }
    m_label->setText(m_text, symbol->encoding);
    m_label->setDataVariance(getDataVariance());
    m_geode->addDrawable(m_label);
}

void PlaceNode::place()
{
    osg::Vec3d world;
    const bool placed = toWorld(m_position, m_position.isValid() ? m_position.z() : 0.0, world);
    m_billboard->setNodeMask(placed ? ~0u : 0u);
    if (!placed)
        return;
    m_billboard->setPosition(world);
    hideBehindHorizon(m_billboard.get(), world);
}

} // namespace geo
