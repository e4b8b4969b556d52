#include "geo/Terrain.h"

#include <osg/Camera>

#include <cmath>

#include "geo/SpatialReference.h"

namespace geo {

bool Terrain::getWorldCoordsUnderMouse(osg::View *view, float x, float y, osg::Vec3d &world) const
{
    if (!view || !view->getCamera())
        return false;
    return worldUnderPixel(*view->getCamera(), view->getCamera()->getViewMatrix(), x, y, world);
}

bool Terrain::worldUnderPixel(const osg::Camera &camera, const osg::Matrixd &viewMatrix, float x, float y,
                              osg::Vec3d &world)
{
    if (!camera.getViewport())
        return false;
    const osg::Matrixd toWindow = viewMatrix * camera.getProjectionMatrix()
                                  * camera.getViewport()->computeWindowMatrix();
    const osg::Matrixd fromWindow = osg::Matrixd::inverse(toWindow);
    const osg::Vec3d nearPoint = osg::Vec3d(x, y, 0.0) * fromWindow;
    const osg::Vec3d farPoint = osg::Vec3d(x, y, 1.0) * fromWindow;
    if (camera.getProjectionMatrix()(3, 3) != 0.0)
        return intersectSegment(nearPoint, farPoint, world); // orthographic: no eye
    // The near and far planes are fitted to the scene at each cull, for the
    // view matrix of that frame; with another one the ground may lie outside
    // them. Follow the pixel's whole ray from the eye instead.
    constexpr double reach = 1.0e9; // metres, far past the globe from any range
    osg::Vec3d direction = farPoint - nearPoint;
    direction.normalize();
    const osg::Vec3d eye = osg::Matrixd::inverse(viewMatrix).getTrans();
    return intersectSegment(eye, eye + direction * reach, world);
}

bool Terrain::intersectSegment(const osg::Vec3d &start, const osg::Vec3d &end, osg::Vec3d &world)
{
    // Scaling z by a/b turns the ellipsoid into a sphere of radius a, where
    // the intersection is a quadratic in the segment parameter.
    const osg::EllipsoidModel *ellipsoid = SpatialReference::wgs84Geocentric()->getEllipsoid();
    const double a = ellipsoid->getRadiusEquator();
    const double squash = a / ellipsoid->getRadiusPolar();
    const osg::Vec3d s(start.x(), start.y(), start.z() * squash);
    const osg::Vec3d d(end.x() - start.x(), end.y() - start.y(), (end.z() - start.z()) * squash);

    const double qa = d * d;
    const double qb = 2.0 * (s * d);
    const double qc = s * s - a * a;
    const double discriminant = qb * qb - 4.0 * qa * qc;
    if (qa <= 0.0 || discriminant < 0.0)
        return false;
    const double root = std::sqrt(discriminant);
    double t = (-qb - root) / (2.0 * qa);
    if (t < 0.0)
        t = (-qb + root) / (2.0 * qa); // the segment starts inside the globe
    if (t < 0.0 || t > 1.0)
        return false;
    world = start + (end - start) * t;
    return true;
}

} // namespace geo
