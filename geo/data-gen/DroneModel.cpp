#include "DroneModel.h"

#include <osg/Geode>
#include <osg/ShapeDrawable>

#include <cmath>

namespace {

void addShape(osg::Geode &geode, osg::Shape *shape, const osg::Vec4 &colour)
{
    osg::ref_ptr<osg::ShapeDrawable> drawable = new osg::ShapeDrawable(shape);
    drawable->setColor(colour);
    geode.addDrawable(drawable);
}

} // namespace

osg::ref_ptr<osg::Node> buildDroneModel()
{
    const osg::Vec4 body(0.85f, 0.85f, 0.88f, 1.0f);
    const osg::Vec4 arm(0.25f, 0.25f, 0.28f, 1.0f);
    const osg::Vec4 rotor(0.1f, 0.1f, 0.1f, 1.0f);
    const osg::Vec4 nose(0.9f, 0.15f, 0.1f, 1.0f);

    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    geode->setName("drone");
    addShape(*geode, new osg::Box(osg::Vec3(), 1.0f, 1.4f, 0.4f), body);
    addShape(*geode, new osg::Sphere(osg::Vec3(0.0f, 0.8f, 0.0f), 0.25f), nose);
    const float reach = 1.4f;
    for (int corner = 0; corner < 4; ++corner) {
        const float angle = osg::PI_4 + corner * osg::PI_2;
        const osg::Vec3 tip(reach * std::cos(angle), reach * std::sin(angle), 0.1f);
        osg::ref_ptr<osg::Box> beam = new osg::Box(tip * 0.5f, 0.12f, reach, 0.1f);
        // The box is long along y; turn y onto the arm's direction.
        beam->setRotation(osg::Quat(angle - osg::PI_2, osg::Z_AXIS));
        addShape(*geode, beam.get(), arm);
        addShape(*geode, new osg::Cylinder(tip + osg::Vec3(0, 0, 0.1f), 0.6f, 0.04f), rotor);
    }
    return geode;
}
