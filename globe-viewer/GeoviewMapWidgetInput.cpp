// The pointer on the globe: the coordinate readout with plane coordinates,
// placemarks and the position dialog on right releases, and the distance
// measurement on left releases.

#include "GeoviewMapWidget.h"

#include <QString>

#include <osg/CoordinateSystemNode>
#include <osg/Math>
#include <osgUtil/LineSegmentIntersector>

#include <algorithm>
#include <cmath>

#include "GaussKrugerProjection.h"
#include "GeoviewMapInputWidget.h"
#include "GeoviewMapState.h"

using namespace GeoviewMapState;

namespace {

// The length is the ellipsoid's geodesic, good to a hundredth of a percent:
// four significant digits, written out in metres without an exponent.
QString lengthText(double metres)
{
    constexpr int digits = 4;
    int decimals = 0;
    if (metres > 0.0 && std::isfinite(metres)) {
        const int whole = int(std::floor(std::log10(metres))) + 1;
        const double unit = std::pow(10.0, whole - digits);
        metres = std::round(metres / unit) * unit;
        decimals = std::max(0, digits - whole);
    }
    return QStringLiteral("Length\uFF1A%1 m").arg(QString::number(metres, 'f', decimals), 0, QLatin1Char(' '));
}

void setLine(geo::FeatureNode &node, const geo::Style &style, const std::vector<osg::Vec3d> &points)
{
    geo::LineString *line = node.getFeature()->getGeometry();
    line->clear();
    node.setStyle(style);
    line->assign(points.begin(), points.end());
    node.init();
}

} // namespace

bool GeoviewMapWidget::handleMapEvent(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    // Moves with a button held are the manipulator's: they leave the readout.
    switch (ea.getEventType()) {
    case osgGA::GUIEventAdapter::RELEASE:
        onMouseRelease(ea, aa);
        break;
    case osgGA::GUIEventAdapter::MOVE:
        onMouseMove(ea, aa);
        break;
    case osgGA::GUIEventAdapter::FRAME:
        showFollowState();
        break;
    default:
        break;
    }
    return false;
}

bool GeoviewMapWidget::pickUnderPointer(const osgGA::GUIEventAdapter &ea, osg::Vec3d &picked)
{
    geo::MapNode *mapNode = m_earthNode.valid() ? geo::MapNode::findMapNode(m_earthNode.get(), 0xFFFFFFFFu)
                                                : nullptr;
    if (mapNode == nullptr)
        return false;
    osg::NodePath path{mapNode};
    osgUtil::LineSegmentIntersector::Intersections hits;
    if (!m_viewer->computeIntersections(ea.getX(), ea.getY(), path, hits, 0xFFFFFFFFu))
        return false;
    osg::Vec3d world = hits.begin()->getWorldIntersectPoint();
    // The drawn ground is made of flat tiles whose middles sag below the
    // ellipsoid, by kilometres where the globe is seen whole; the ground is
    // the ellipsoid itself, which the same ray meets before the tile.
    const osg::NodePath &hitPath = hits.begin()->nodePath;
    if (std::find(hitPath.begin(), hitPath.end(), mapNode->getGlobe()) != hitPath.end())
        mapNode->getTerrain()->getWorldCoordsUnderMouse(m_viewer.get(), ea.getX(), ea.getY(), world);
    osg::ref_ptr<osg::EllipsoidModel> wgs84 = new osg::EllipsoidModel(6378137.0, 6356752.3142);
    double latitude = 0.0, longitude = 0.0, height = 0.0;
    wgs84->convertXYZToLatLongHeight(world.x(), world.y(), world.z(), latitude, longitude, height);
    picked.set(osg::RadiansToDegrees(longitude), osg::RadiansToDegrees(latitude), height);
    return true;
}

bool GeoviewMapWidget::onMouseMove(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &)
{
    osg::Vec3d picked;
    if (pickUnderPointer(ea, picked)) {
        if (coordinateLabel.valid())
            coordinateLabel->setText(QString::asprintf("Lon:%.6f  Lat:%.6f  Alt:%.6f", picked.x(),
                                                       picked.y(), picked.z()).toStdString());
        const GaussKrugerProjection plane = GaussKrugerProjection::fromLatLon(picked.y(), picked.x());
        const int x = int(plane.northing), y = int(plane.easting);
        emit mousePositionChanged(picked.x(), picked.y(), picked.z(), double(x), double(y));
        if (measuringMode) {
            if (m_measurePoints.empty())
                return false;
            drawLiveMeasureLine(picked);
        }
    }
    if (auto *manipulator = dynamic_cast<geo::EarthManipulator *>(m_viewer->getCameraManipulator())) {
        const geo::GeoPoint focal = manipulator->getViewpoint().focalPoint();
        emit viewPositionChanged(focal.x(), focal.y(), focal.z());
    }
    return false;
}

void GeoviewMapWidget::drawLiveMeasureLine(const osg::Vec3d &picked)
{
    if (!liveMeasureLine.valid()) {
        auto *feature = new geo::Feature(new geo::LineString, m_mapNode->getMapSRS(), geo::Style(""));
        liveMeasureLine = new geo::FeatureNode(feature, measureLineStyle);
        m_root->addChild(liveMeasureLine.get());
        m_mapNode->addChild(liveMeasureLine.get());
    }
    setLine(*liveMeasureLine, measureSegmentStyle, {m_measurePoints.back(), picked});
    showLength(picked);
}

void GeoviewMapWidget::showLength(const osg::Vec3d &point)
{
    measureLabelText = lengthText(computeRouteLength(point));
    if (!lengthLabel.valid())
        return;
    lengthLabel->setText(measureLabelText.toStdString());
    lengthLabel->setPosition(geo::GeoPoint(m_mapNode->getMapSRS(), point));
}

bool GeoviewMapWidget::onMouseRelease(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &)
{
    osg::Vec3d picked;
    if (ea.getButton() == osgGA::GUIEventAdapter::RIGHT_MOUSE_BUTTON) {
        // Over empty space the point is (0, 0, 0).
        if (!pickUnderPointer(ea, picked))
            picked.set(0, 0, 0);
        if (placemarkMode)
            dropPlacemark(picked);
        else
            bringUp(m_inputWidget);
    } else if (ea.getButton() == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON) {
        // A click that an on-screen control took counts, as the one that
        // switched measuring on always has, but it is no point on the globe.
        measureClickCount = measuringMode ? measureClickCount + 1 : 0;
        if (!measuringMode || measureClickCount < 2 || ea.getHandled() || !hasMapNode("the measuring point"))
            return false;
        if (!pickUnderPointer(ea, picked))
            picked.set(0, 0, 0);
        takeMeasuringPoint(picked);
    }
    return false;
}

void GeoviewMapWidget::dropPlacemark(const osg::Vec3d &picked)
{
    if (hasMapNode("the placemark"))
        addNumberedPlacemark(picked.x(), picked.y());
}

void GeoviewMapWidget::addNumberedPlacemark(double longitude, double latitude)
{
    const int number = placemarkCounter++;
    const QString name = QString("Geo Point ") + QString::number(number);
    const geo::GeoPoint point(m_mapNode->getMapSRS()->getGeographicSRS(), longitude, latitude);
    m_lastPlacemark = new geo::PlaceNode(point, name.toStdString(), placemarkStyle);
    m_root->addChild(m_lastPlacemark.get());
    m_placemarks.push_back(m_lastPlacemark);
}

void GeoviewMapWidget::takeMeasuringPoint(const osg::Vec3d &point)
{
    m_measurePoints.push_back(point);
    forgetCompletedMeasureLine();
    if (!measureLine.valid())
        startMeasurement(point);
    if (m_measurePoints.size() < 2)
        return;
    completeMeasurement(point);
}

void GeoviewMapWidget::forgetCompletedMeasureLine()
{
    if (measurementCount < 1 || !measureLine.valid() || measureLine->getNumChildren() == 0)
        return;
    measureLine->removeChildren(0, measureLine->getNumChildren());
    // Detached as well as emptied, so finished measurements do not pile up
    // as empty nodes under the scene.
    detachFromScene(measureLine.get());
    measureLine = nullptr;
    measurementCount = 0;
}

void GeoviewMapWidget::detachMeasureMarks()
{
    for (osg::Node *node : {static_cast<osg::Node *>(startMarker.get()), static_cast<osg::Node *>(endMarker.get()),
                            static_cast<osg::Node *>(measureLine.get()),
                            static_cast<osg::Node *>(lengthLabel.get())}) {
        if (node != nullptr)
            detachFromScene(node);
    }
}

void GeoviewMapWidget::detachFromScene(osg::Node *node)
{
    m_root->removeChild(node);
    if (m_mapNode != nullptr)
        m_mapNode->removeChild(node);
}

void GeoviewMapWidget::startMeasurement(const osg::Vec3d &point)
{
    if (!keepMarkers && startMarker.valid() && endMarker.valid() && lengthLabel.valid()) {
        detachMeasureMarks();
        startMarker = nullptr;
        endMarker = nullptr;
        lengthLabel = nullptr;
    }
    detachMeasureMarks();

    const geo::SpatialReference *srs = m_mapNode->getMapSRS();
    auto *feature = new geo::Feature(new geo::LineString, srs, measureLineStyle);
    measureLine = new geo::FeatureNode(feature, geo::Style(""));
    m_root->addChild(measureLine.get());
    m_mapNode->addChild(measureLine.get());

    lengthLabel = new geo::PlaceNode(geo::GeoPoint(), "", labelTextStyle);
    lengthLabel->setDynamic(true);
    startMarker = new geo::PlaceNode(geo::GeoPoint(srs, point), "Start", placemarkStyle);
    m_root->addChild(startMarker.get());
    m_root->addChild(lengthLabel.get());
    m_mapNode->addChild(lengthLabel.get());
    measureLabelText = lengthText(0.0);
}

void GeoviewMapWidget::completeMeasurement(const osg::Vec3d &point)
{
    setLine(*measureLine, measureLineStyle, m_measurePoints);
    showLength(point);
    if (liveMeasureLine.valid()) {
        liveMeasureLine->getFeature()->getGeometry()->clear();
        liveMeasureLine->init();
    }
    m_measurePoints.clear();
    endMarker = new geo::PlaceNode(geo::GeoPoint(m_mapNode->getMapSRS(), point), "End", placemarkStyle);
    m_root->addChild(endMarker.get());
    ++measurementCount;
    keepMarkers = false;
}
