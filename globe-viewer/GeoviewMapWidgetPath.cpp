// The drone's flight path: the animation path the model moves along, built
// from the route points that position messages add.

#include "GeoviewMapWidget.h"

#include <QDebug>

#include <osg/AnimationPath>
#include <osg/Quat>

#include <algorithm>
#include <cmath>

namespace {

// Degrees to radians the way the path has always turned them: in single
// precision, so that keys land where earlier builds put them.
float radiansOf(float degrees)
{
    return degrees * 3.1415927f / 180.0f;
}

constexpr int kCircleSamples = 40;

} // namespace

osg::Vec3d GeoviewMapWidget::toEarthCentred(const osg::Vec4f &point) const
{
    osg::Vec3d world;
    m_coordinateSystemNode->getEllipsoidModel()->convertLatLongHeightToXYZ(
        radiansOf(point.y()), radiansOf(point.x()), point.z(), world.x(), world.y(), world.z());
    return world;
}

osg::Matrixd GeoviewMapWidget::localFrameAt(const osg::Vec4f &point) const
{
    osg::Matrixd frame;
    m_coordinateSystemNode->getEllipsoidModel()->computeLocalToWorldTransformFromLatLongHeight(
        radiansOf(point.y()), radiansOf(point.x()), point.z(), frame);
    return frame;
}

// In double precision: earth-centred floats are half a metre apart, and the
// square of a float difference overflows to an infinite time.
double GeoviewMapWidget::planarDistance(osg::Vec3d a, osg::Vec3d b)
{
    return (b - a).length();
}

double GeoviewMapWidget::segmentTime(osg::Vec3d a, osg::Vec3d b, double speed)
{
    // A point without speed would never be reached; a very long time keeps
    // the path ordered instead of dividing by zero.
    if (speed == 0.0)
        return 1e9;
    return planarDistance(a, b) / speed;
}

osg::AnimationPath *GeoviewMapWidget::createAirLinePath(osg::Vec4Array *points)
{
    auto *path = new osg::AnimationPath;
    path->setLoopMode(osg::AnimationPath::NO_LOOPING);

    double time = 0.0;
    osg::Matrixd segment;
    osg::Vec3d lastEnd;
    for (size_t i = 0; i + 1 < points->size(); ++i) {
        const osg::Vec4f &p1 = (*points)[i];
        const osg::Vec4f &p2 = (*points)[i + 1];
        const osg::Vec3d e1 = toEarthCentred(p1);
        const osg::Vec3d e2 = toEarthCentred(p2);

        double yaw = osg::PI_2;
        if (p1.x() != p2.x()) {
            yaw = std::atan((p2.y() - p1.y()) / (p2.x() - p1.x()));
            if (p2.x() > p1.x())
                yaw += osg::PI;
        }
        const double pitch = -1.5608;
        segment = localFrameAt(p1);
        segment.preMultRotate(osg::Quat(0.0, osg::Vec3d(1, 0, 0), pitch + osg::PI_2,
                                        osg::Vec3d(0, 1, 0), yaw, osg::Vec3d(0, 0, 1)));
        path->insert(time, osg::AnimationPath::ControlPoint(e1, segment.getRotate()));
        time += segmentTime(e1, e2, p2.w());
        lastEnd = e2;
    }
    path->insert(time, osg::AnimationPath::ControlPoint(lastEnd, segment.getRotate()));
    return path;
}

void GeoviewMapWidget::addHeadingKey(osg::Vec4Array *points, double headingDeg)
{
    if (!m_modelPath.valid() || m_coordinateSystemNode->getEllipsoidModel() == nullptr) {
        qWarning() << "addHeadingKey: the drone's path is not set up yet";
        return;
    }
    headingDeg = std::fmod(headingDeg, 360.0);

    osg::Matrixd key;
    if (points->size() >= 2) {
        key = localFrameAt((*points)[points->size() - 2]);
        key.preMultRotate(osg::Quat(osg::DegreesToRadians(-headingDeg), osg::Vec3d(0, 0, 1)));
    }
    m_modelPath->insert(routeTravelTime(points),
                        osg::AnimationPath::ControlPoint(key.getTrans(), key.getRotate()));
}

double GeoviewMapWidget::routeTravelTime(osg::Vec4Array *points)
{
    RouteWalk &walk = m_routeWalk;
    // Another list, an edited one (dirty() counts edits) or one that is not
    // the list walked so far with points appended is walked from its start.
    const bool continues = walk.points == points && walk.modifiedCount == points->getModifiedCount()
                           && walk.walked <= points->size()
                           && (walk.walked == 0 || (*points)[walk.walked - 1] == walk.lastWalked);
    if (!continues) {
        walk = RouteWalk();
        walk.points = points;
        walk.modifiedCount = points->getModifiedCount();
    }
    // The sum runs in the same order as a walk from the start would, so the
    // times are the same to the last bit.
    for (size_t i = std::max<size_t>(walk.walked, 1); i < points->size(); ++i) {
        const osg::Vec4f &p1 = (*points)[i - 1];
        const osg::Vec4f &p2 = (*points)[i];
        walk.time += segmentTime(toEarthCentred(p1), toEarthCentred(p2), p2.w());
    }
    walk.walked = points->size();
    if (walk.walked > 0)
        walk.lastWalked = points->back();
    return walk.time;
}

osg::AnimationPath *GeoviewMapWidget::createCirclePath(const geo::GeoPoint &center,
                                                       const geo::SpatialReference *srs,
                                                       float radius, double loopTime)
{
    auto *path = new osg::AnimationPath;
    path->setLoopMode(osg::AnimationPath::LOOP);
    const double angleStep = 2.0 * osg::PI / kCircleSamples;
    const double timeStep = loopTime / kCircleSamples;

    osg::Vec3d centre;
    center.transform(srs).toWorld(centre);
    osg::Vec3d up(0, 0, 1);
    osg::Vec3d side(1, 0, 0);
    if (!srs->isProjected()) {
        up = centre;
        up.normalize();
        side = up ^ osg::Vec3d(0, 0, 1);
        // Unnormalised, the circle would shrink with the cosine of the
        // latitude; at a pole there is no east, and any horizontal will do.
        if (side.normalize() == 0.0)
            side = osg::Vec3d(1, 0, 0);
    }
    osg::Quat upright;
    upright.makeRotate(osg::Vec3d(0, 0, 1), up);

    osg::AnimationPath::ControlPoint first;
    for (int i = 0; i < kCircleSamples; ++i) {
        const osg::Quat around(angleStep * i, up);
        const osg::AnimationPath::ControlPoint point(centre + around * (side * radius), upright);
        if (i == 0)
            first = point;
        path->insert(timeStep * i, point);
    }
    path->insert(timeStep * kCircleSamples, first);
    return path;
}

osg::MatrixTransform *GeoviewMapWidget::createFollowTransform(osg::Node *model,
                                                             const geo::GeoPoint &center,
                                                             const geo::SpatialReference *srs,
                                                             float radius, double loopTime)
{
    auto *transform = new osg::MatrixTransform;
    transform->addChild(model);
    transform->setUpdateCallback(
        new osg::AnimationPathCallback(createCirclePath(center, srs, radius, loopTime), 0.0, 1.0));
    return transform;
}
