// The camera's footprint: a sector on the ground around the drone, opened
// to the camera's field of view and turned to its heading, with a mark on
// the target point.

#include "GeoviewMapWidget.h"

#include <QDebug>

#include <cmath>
#include <limits>

namespace {

struct ZoomBand
{
    double lower;
    double upper;
    double radiusKm;
};

constexpr double kNoUpper = std::numeric_limits<double>::infinity();

// Tried in order with strict bounds; the first that holds wins. From 10 to
// 19 the bands overlap, so an integer zoom there takes the band above it,
// and the other integers fall between bands and keep the radius they had.
constexpr ZoomBand kZoomBands[] = {
    {29, kNoUpper, 2.0}, {28, 29, 1.57}, {27, 28, 1.54}, {26, 27, 1.53}, {25, 26, 1.52},
    {24, 25, 1.51},      {23, 24, 1.50}, {22, 23, 1.45}, {21, 22, 1.40}, {20, 21, 1.30},
    {19, 20, 1.20},      {17, 19, 1.00}, {16, 18, 0.99}, {15, 17, 0.96}, {14, 16, 0.94},
    {13, 15, 0.92},      {12, 14, 0.90}, {11, 13, 0.86}, {10, 12, 0.83}, {9, 11, 0.80},
    {8, 9, 0.76},        {7, 8, 0.73},   {6, 7, 0.70},   {5, 6, 0.65},   {4, 5, 0.62},
    {3, 4, 0.60},        {2, 3, 0.50},   {1, 2, 0.40},   {0, 1, 0.30},
};

bool inBand(const ZoomBand &band, double zoom)
{
    return zoom > band.lower && (band.upper == kNoUpper || zoom < band.upper);
}

// A zoom that no band holds keeps the radius as it was.
void applyZoomBand(double zoom, geo::Distance &radius)
{
    for (const ZoomBand &band : kZoomBands) {
        if (inBand(band, zoom)) {
            radius = geo::Distance(band.radiusKm, geo::Units::KILOMETERS);
            return;
        }
    }
}

// Whole degrees toward zero, as an int conversion truncates; false where
// that conversion would be undefined (not a number, or beyond int).
bool truncatedDegrees(double degrees, int &whole)
{
    if (!(std::fabs(degrees) < 2147483648.0))
        return false;
    whole = int(degrees);
    return true;
}

// The arc, in whole degrees, of a camera turned to yawOffset + yawAbs with
// the field of view fov. The heading is the remainder of the truncated sum,
// its sign that of the sum; the remainder is taken first so that no huge sum
// is truncated. A negative field of view would open the arc the other way
// round, to the whole circle less its size.
bool footprintArc(int yawOffset, double yawAbs, double fov, int &start, int &end)
{
    int heading = 0;
    return fov >= 0.0 && truncatedDegrees(std::fmod(yawOffset + yawAbs + 360.0, 360.0), heading)
           && truncatedDegrees(heading - fov / 2, start) && truncatedDegrees(heading + fov / 2, end);
}

} // namespace

bool GeoviewMapWidget::drawCameraFootprint(double dVerticalAngle, double dEOOpticalZoom,
                                           double dTargetLongitude, double dTargetLatitude,
                                           double dLongitude, double dLatitude, double dAltitude,
                                           double dYaw, double dYawAbs, double dPitch,
                                           double dFov, double dUAVGPSDirection, double dUAVYaw,
                                           double dUAVPitch, double dUAVRoll)
{
    Q_UNUSED(dVerticalAngle) Q_UNUSED(dAltitude) Q_UNUSED(dYaw) Q_UNUSED(dPitch)
    Q_UNUSED(dUAVGPSDirection) Q_UNUSED(dUAVYaw) Q_UNUSED(dUAVPitch) Q_UNUSED(dUAVRoll)

    if (!hasMapNode("drawCameraFootprint"))
        return true;
    // The sector's style, centre and target mark come with the scene, which
    // is built once the GL context is up.
    if (!m_targetPlacemark.valid())
        return true;

    // The sector stands on the drone and its mark on the target: without
    // both on the globe there is nothing to draw.
    if (!isUsablePosition(dLongitude, dLatitude, 0.0) || !isUsablePosition(dTargetLongitude, dTargetLatitude, 0.0)) {
        qWarning() << "camera footprint: drone" << dLongitude << dLatitude << "or target" << dTargetLongitude
                   << dTargetLatitude << "is not a position on the globe, footprint left as it was";
        return true;
    }
    int arcStart = 0, arcEnd = 0;
    if (!footprintArc(m_yawOffset, dYawAbs, dFov, arcStart, arcEnd)) {
        qWarning() << "camera footprint: heading" << dYawAbs << "or field of view" << dFov
                   << "is not a usable angle, footprint left as it was";
        return true;
    }
    applyZoomBand(dEOOpticalZoom, m_footprintRadius);

    setUpdatesEnabled(false);
    if (m_footprintSector.valid()) {
        m_mapNode->removeChild(m_footprintEditor.get());
        m_mapNode->removeChild(m_footprintSector.get());
        m_mapNode->removeChild(m_targetPlacemark.get());
    }
    m_footprintSector = new geo::CircleNode;

    m_footprintCenter.x() = dTargetLongitude;
    m_footprintCenter.y() = dTargetLatitude;
    m_targetPlacemark->setPosition(m_footprintCenter);
    m_footprintCenter.x() = dLongitude;
    m_footprintCenter.y() = dLatitude;

    m_footprintStartAngle = geo::Angle(arcStart, geo::Units::DEGREES);
    m_footprintEndAngle = geo::Angle(arcEnd, geo::Units::DEGREES);
    m_footprintSector->set(m_footprintCenter, m_footprintRadius, m_footprintStyle,
                           m_footprintStartAngle, m_footprintEndAngle, true);

    m_mapNode->addChild(m_targetPlacemark.get());
    m_mapNode->addChild(m_footprintSector.get());
    m_footprintEditor = new geo::CircleNodeEditor(m_footprintSector.get());
    m_mapNode->addChild(m_footprintEditor.get());
    setUpdatesEnabled(true);
    return true;
}
