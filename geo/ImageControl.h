#pragma once

#include <osg/Image>
#include <osg/Texture2D>

#include "geo/Angle.h"
#include "geo/Control.h"

namespace geo {

// An image at its own pixel size, turned about its centre by a rotation
// (positive angles clockwise, as the canvas' downward y axis has it).
// A rotated image needs a larger box; with a fixed size for rotation the box
// stays the image's own size instead, so a turning dial does not shift the
// controls laid out around it.
class ImageControl : public Control
{
public:
    explicit ImageControl(osg::Image *image = nullptr);

    void setImage(osg::Image *image);
    osg::Image *getImage() const { return m_image.get(); }
    void setRotation(const Angle &rotation);
    const Angle &getRotation() const { return m_rotation; }
    void setFixSizeForRotation(bool fixed);

protected:
    osg::Vec2f contentSize() override;
    void buildContent(osg::Geode &geode, const osg::Vec2f &size) override;

private:
    osg::Vec2f imageSize() const;

    osg::ref_ptr<osg::Image> m_image;
    osg::ref_ptr<osg::Texture2D> m_texture;
    Angle m_rotation;
    bool m_fixSizeForRotation = false;
};

} // namespace geo
