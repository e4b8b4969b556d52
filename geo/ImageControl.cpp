#include "geo/ImageControl.h"

#include <osg/Geometry>
#include <osg/Texture2D>

#include <cmath>

namespace geo {

ImageControl::ImageControl(osg::Image *image)
{
    setImage(image);
}

void ImageControl::setImage(osg::Image *image)
{
    m_image = image;
    // One texture per image, kept across redraws: a turning dial redraws
    // every frame and must not upload its image again each time.
    m_texture = nullptr;
    if (m_image) {
        m_texture = new osg::Texture2D(m_image.get());
        m_texture->setResizeNonPowerOfTwoHint(false);
        m_texture->setFilter(osg::Texture::MIN_FILTER, osg::Texture::LINEAR);
        m_texture->setFilter(osg::Texture::MAG_FILTER, osg::Texture::LINEAR);
    }
    contentChanged();
}

void ImageControl::setRotation(const Angle &rotation)
{
    m_rotation = rotation;
    contentChanged();
}

void ImageControl::setFixSizeForRotation(bool fixed)
{
    m_fixSizeForRotation = fixed;
    contentChanged();
}

osg::Vec2f ImageControl::imageSize() const
{
    return m_image ? osg::Vec2f(float(m_image->s()), float(m_image->t())) : osg::Vec2f();
}

osg::Vec2f ImageControl::contentSize()
{
    const osg::Vec2f size = imageSize();
    if (m_fixSizeForRotation)
        return size;
    const double radians = m_rotation.as(Units::RADIANS);
    const float c = float(std::fabs(std::cos(radians)));
    const float s = float(std::fabs(std::sin(radians)));
    return osg::Vec2f(size.x() * c + size.y() * s, size.x() * s + size.y() * c);
}

void ImageControl::buildContent(osg::Geode &geode, const osg::Vec2f &size)
{
    if (!m_image)
        return;
    const osg::Vec2f half = imageSize() / 2.0f;
    const osg::Vec3 centre(padding(SIDE_LEFT) + (size.x() - padding(SIDE_LEFT) - padding(SIDE_RIGHT)) / 2.0f,
                           padding(SIDE_BOTTOM) + (size.y() - padding(SIDE_TOP) - padding(SIDE_BOTTOM)) / 2.0f,
                           0.0f);
    // The canvas counts y downwards, so a positive angle turns from x
    // towards y: clockwise on the screen. The drawing counts y upwards.
    const osg::Quat turn(-m_rotation.as(Units::RADIANS), osg::Z_AXIS);

    osg::ref_ptr<osg::Vec3Array> corners = new osg::Vec3Array;
    for (const osg::Vec3 &corner : {osg::Vec3(-half.x(), -half.y(), 0), osg::Vec3(half.x(), -half.y(), 0),
                                    osg::Vec3(half.x(), half.y(), 0), osg::Vec3(-half.x(), half.y(), 0)})
        corners->push_back(centre + turn * corner);
    osg::ref_ptr<osg::Vec2Array> texture = new osg::Vec2Array;
    texture->push_back(osg::Vec2(0, 0));
    texture->push_back(osg::Vec2(1, 0));
    texture->push_back(osg::Vec2(1, 1));
    texture->push_back(osg::Vec2(0, 1));

    osg::ref_ptr<osg::Geometry> quad = new osg::Geometry;
    quad->setVertexArray(corners);
    quad->setTexCoordArray(0, texture);
    const osg::Vec4f white(1, 1, 1, 1);
    quad->setColorArray(new osg::Vec4Array(1, &white), osg::Array::BIND_OVERALL);
    quad->addPrimitiveSet(new osg::DrawArrays(GL_QUADS, 0, 4));
    quad->getOrCreateStateSet()->setTextureAttributeAndModes(0, m_texture);
    geode.addDrawable(quad);
}

} // namespace geo
