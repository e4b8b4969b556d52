#include "GeoviewMapWidget.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGridLayout>

#include <osg/Quat>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include <cmath>

#include "GeoviewMapInputWidget.h"
#include "GeoviewMapOffsetInputWidget.h"
#include "GeoviewMapState.h"
#include "OsgViewerWidget.h"
#include "PositionLimits.h"
#include "geo/EllipsoidGeodesic.h"

namespace {

constexpr double kDroneSpeed = 50.0;

// The flight to a requested position: straight down from 2 km, over five
// seconds. -100 rather than -90 is what the operators have always had; the
// manipulator keeps the pitch within its own band.
constexpr double kFlyToPitch = -100.0;
constexpr double kFlyToRange = 2000.0;
constexpr double kFlyToSeconds = 5.0;

} // namespace

GeoviewMapWidget::GeoviewMapWidget(QWidget *parent)
    : QWidget(parent)
    , m_inputWidget(nullptr)
    , m_offsetInputWidget(nullptr)
    , m_glWidget(nullptr)
    , m_viewer(new osgViewer::Viewer)
    , m_root(new osg::Group)
    , m_manipulator(new geo::EarthManipulator)
    , m_coordinateSystemNode(new osg::CoordinateSystemNode)
    , m_rootTransform(new osg::MatrixTransform)
    , m_droneModelPath(QCoreApplication::applicationDirPath() + "/data/drone.osgb")
    , m_droneModel(osgDB::readNodeFile(m_droneModelPath.toStdString(),
                                       osgDB::Registry::instance()->getOptions()))
    , m_droneTransform(new osg::MatrixTransform)
    , m_droneHolder(new osg::MatrixTransform)
    , m_liveDrone(new osg::MatrixTransform)
    , m_lastAirLinePoint(0.0f, 0.0f, 0.0f, 0.0f)
    , m_mapNode(nullptr)
    , m_terrain(nullptr)
    , m_geographicSRS(nullptr)
    , m_trackGroup(new osg::Group)
    , m_trackGeode(new osg::Geode)
    , m_reportedNoMap(false)
{
    m_yawOffset = 0;
    m_flyOnNextUpdate = false;
    // The live drone has nothing to draw and the trail hangs under the map:
    // names are how readers of the scene tell these apart.
    m_liveDrone->setName("live drone");
    m_droneHolder->setName("drone");
    m_trackGroup->setName("trail");

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_glWidget = new OsgViewerWidget(nullptr);
    m_glWidget->setMouseTracking(true);
    m_glWidget->setFocusPolicy(Qt::ClickFocus);
    layout->addWidget(m_glWidget, 0, 0);
    connect(m_glWidget, SIGNAL(initialized()), this, SLOT(onOsgInitialized()));

    m_inputWidget = new GeoviewMapInputWidget(this);
    connect(this, &GeoviewMapWidget::mousePositionChanged, m_inputWidget,
            &GeoviewMapInputWidget::updatePosition);
    connect(m_inputWidget, &GeoviewMapInputWidget::positionChangeds, this,
            &GeoviewMapWidget::manualGoToPosition);
    connect(m_inputWidget, &GeoviewMapInputWidget::stopPositionChangeds, this,
            &GeoviewMapWidget::manualStopGoToPosition);

    m_offsetInputWidget = new GeoviewMapOffsetInputWidget(this);
    connect(m_offsetInputWidget, &GeoviewMapOffsetInputWidget::offsetChanged, this,
            &GeoviewMapWidget::offsetPosition);

    m_yawOffset = GeoviewMapOffsetInputWidget::storedOffset();
}

GeoviewMapWidget::~GeoviewMapWidget() = default;

bool GeoviewMapWidget::hasMapNode(const char *operation)
{
    if (m_mapNode != nullptr)
        return true;
    // Without an earth file the viewer keeps running; one line says why the
    // globe does not follow, instead of one per position message.
    if (!m_reportedNoMap) {
        qWarning() << "no map node: the earth file did not load, ignoring" << operation;
        m_reportedNoMap = true;
    }
    return false;
}

void GeoviewMapWidget::manualGoToPosition(bool continueSend, double dLongitude, double dLatitude,
                                          double dAltitude)
{
    // The dialog refuses these where they are typed; this keeps any other
    // caller from sending the host, or the camera, a point off the globe.
    if (!isUsablePosition(dLongitude, dLatitude, dAltitude)) {
        qWarning() << "manual position refused, not a usable longitude, latitude and altitude:" << dLongitude
                   << dLatitude << dAltitude;
        return;
    }
    // The host needs no map to take the request; only the mark needs one.
    if (hasMapNode("manualGoToPosition"))
        addNumberedPlacemark(dLongitude, dLatitude);
    flyToPosition(continueSend, dLongitude, dLatitude, dAltitude, true);
}

void GeoviewMapWidget::manualStopGoToPosition()
{
}

void GeoviewMapWidget::offsetPosition(int dOffset)
{
    m_yawOffset = dOffset;
}

void GeoviewMapWidget::flyToPosition(bool continueSend, double lon, double lat, double alt,
                                     bool emitSignal)
{
    auto *manipulator = dynamic_cast<geo::EarthManipulator *>(m_viewer->getCameraManipulator());
    if (manipulator == nullptr)
        return;
    const geo::Viewpoint viewpoint("", lon, lat, 0.0, 0.0, kFlyToPitch, kFlyToRange);
    manipulator->setViewpoint(viewpoint, kFlyToSeconds);
    if (emitSignal)
        emit manualViewPositionChanged(continueSend, 0, 0, 0, 0, lon, lat, alt, 0, 0, 0, 0, 0, 0,
                                       0, 0);
}

bool GeoviewMapWidget::headingKeyOf(double dUAVYaw, int &key)
{
    // Truncating a value outside int's range is undefined, so the remainder
    // is taken first; for every yaw in range it gives what
    // int(yaw + 359) % 360 gives.
    const double shifted = dUAVYaw + 359.0;
    if (!std::isfinite(shifted))
        return false;
    key = int(std::fmod(shifted, 360.0));
    return true;
}

bool GeoviewMapWidget::isUsablePosition(double longitude, double latitude, double altitude)
{
    return PositionLimits::usableLongitude(longitude) && PositionLimits::usableLatitude(latitude)
           && PositionLimits::usableAltitude(altitude);
}

void GeoviewMapWidget::autoGoToPosition(double dVerticalAngle, double dEOOpticalZoom,
                                        double dTargetLongitude, double dTargetLatitude,
                                        double dLongitude, double dLatitude, double dAltitude,
                                        double dYaw, double dYawAbs, double dPitch, double dFov,
                                        double dUAVGPSDirection, double dUAVYaw,
                                        double dUAVPitch, double dUAVRoll)
{
    // Refused before anything keeps it: route points are never removed, and
    // one that does not fit would spoil every later key of the path.
    if (!isUsablePosition(dLongitude, dLatitude, dAltitude)) {
        qWarning() << "drone position refused, not a usable longitude, latitude and altitude:" << dLongitude
                   << dLatitude << dAltitude;
        return;
    }
    GeoviewMapState::droneLongitude = dLongitude;
    GeoviewMapState::droneLatitude = dLatitude;
    GeoviewMapState::droneAltitude = dAltitude;

    // A NaN target longitude counts as given; the footprint refuses it.
    if (dTargetLongitude != 0.0 && hasMapNode("autoGoToPosition"))
        drawCameraFootprint(dVerticalAngle, dEOOpticalZoom, dTargetLongitude, dTargetLatitude,
                            dLongitude, dLatitude, dAltitude, dYaw, dYawAbs, dPitch, dFov,
                            dUAVGPSDirection, dUAVYaw, dUAVPitch, dUAVRoll);
    if (dLongitude == 0.0)
        return;

    // The path needs only the ellipsoid, not the map: points that come
    // before the scene exists are kept, and its set-up builds the path from
    // all of them.
    osg::Vec4Array *points = GeoviewMapState::routePoints();
    points->push_back(osg::Vec4f(float(dLongitude), float(dLatitude), float(dAltitude),
                                 float(kDroneSpeed)));
    placeLiveDrone(dLongitude, dLatitude, dAltitude);
    int headingKey = 0;
    if (!headingKeyOf(dUAVYaw, headingKey))
        qWarning() << "drone yaw is not a number:" << dUAVYaw;
    else if (m_modelPath.valid())
        addHeadingKey(points, double(headingKey));

    if (m_flyOnNextUpdate) {
        m_flyOnNextUpdate = false;
        flyToPosition(true, dLongitude, dLatitude, dAltitude, false);
    }
}

void GeoviewMapWidget::placeLiveDrone(double longitude, double latitude, double altitude)
{
    osg::Vec3d world;
    geo::GeoPoint(geo::SpatialReference::wgs84Geographic(), longitude, latitude, altitude, geo::ALTMODE_ABSOLUTE)
        .toWorld(world);
    m_liveDrone->setMatrix(osg::Matrixd::translate(world));
}

void GeoviewMapWidget::autoStopGoToPosition(double, double, double, double, double, double,
                                            double, double, double, double, double, double,
                                            double, double, double)
{
}

void GeoviewMapWidget::updateAirLinePosition(osg::Vec4 curPoint, double dUAVYaw)
{
    if (!isUsablePosition(curPoint.x(), curPoint.y(), curPoint.z())) {
        qWarning() << "updateAirLinePosition: point refused, not a usable longitude, latitude and altitude:"
                   << curPoint.x() << curPoint.y() << curPoint.z();
        return;
    }
    if (!m_modelPath.valid() || m_coordinateSystemNode->getEllipsoidModel() == nullptr) {
        qWarning() << "updateAirLinePosition: the drone's path is not set up yet";
        return;
    }
    std::vector<osg::Vec4f> listed;
    if (!m_modelPath->getTimeControlPointMap().empty())
        listed.push_back(m_lastAirLinePoint);
    listed.push_back(curPoint);

    double time = 0.0;
    osg::Matrixd key;
    if (listed.size() == 2) {
        const osg::Vec3d e1 = toEarthCentred(listed[0]);
        const osg::Vec3d e2 = toEarthCentred(listed[1]);
        key = localFrameAt(listed[0]);
        key.preMultRotate(osg::Quat(0.0, osg::Vec3d(1, 0, 0), 0.0, osg::Vec3d(0, 1, 0), dUAVYaw,
                                    osg::Vec3d(0, 0, 1)));
        time += segmentTime(e1, e2, listed[1].w());
    }
    m_modelPath->insert(time + m_modelPath->getLastTime(),
                        osg::AnimationPath::ControlPoint(key.getTrans(), key.getRotate()));
    m_lastAirLinePoint = curPoint;
}

// The dialogs are transient for the viewer's window, which the window manager
// does not see: a click into the globe raises the host over an open dialog,
// and show() on a dialog already shown would leave it there.
void GeoviewMapWidget::bringUp(QDialog *dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void GeoviewMapWidget::setShowTitle(QString strTitle)
{
    m_inputWidget->setWindowTitle(strTitle);
    setWindowTitle(strTitle);
}

bool GeoviewMapWidget::syncLoadEarthFile(QString strEarthFilePath)
{
    installMapNode(loadEarthFile(strEarthFilePath));
    // The load's outcome travels in earthFileLoadFinished; callers have only
    // ever been told that the load ran.
    return true;
}

bool GeoviewMapWidget::asyncLoadEarthFile(QString strEarthFilePath)
{
    Q_UNUSED(strEarthFilePath)
    return true;
}

GeoviewMapWidget::EarthNodes GeoviewMapWidget::loadEarthFile(QString path)
{
    emit earthFileLoadStarted();
    osg::ref_ptr<osg::Node> node = osgDB::readNodeFile(path.toStdString());
    geo::MapNode *mapNode = node.valid() ? geo::MapNode::findMapNode(node.get(), 0xFFFFFFFFu) : nullptr;
    if (mapNode == nullptr) {
        qWarning() << "no map in the earth file" << path;
        emit earthFileLoadFinished(false);
        return EarthNodes();
    }
    emit earthFileLoadFinished(true);
    return EarthNodes(node, mapNode);
}

void GeoviewMapWidget::installMapNode(EarthNodes nodes)
{
    if (nodes.second == nullptr)
        return;
    if (m_earthNode.valid())
        m_root->removeChild(m_earthNode.get());
    m_earthNode = nodes.first;
    m_mapNode = nodes.second;
    m_terrain = m_mapNode->getTerrain();
    m_root->addChild(m_earthNode.get());
}

void GeoviewMapWidget::setupModelTransform()
{
    m_coordinateSystemNode->setEllipsoidModel(new osg::EllipsoidModel(6378137.0, 6356752.3142));
    m_rootTransform->setMatrix(osg::Matrixd::identity());
    m_root->addChild(m_rootTransform.get());

    m_droneTransform->setMatrix(osg::Matrixd::scale(3.0, 3.0, 3.0)
                                * osg::Matrixd::rotate(0.0, osg::Vec3d(0, 0, 1)));
    m_droneTransform->getOrCreateStateSet()->setMode(GL_RESCALE_NORMAL, osg::StateAttribute::ON);
    if (m_droneModel.valid())
        m_droneTransform->addChild(m_droneModel.get());
    m_droneHolder->addChild(m_droneTransform.get());
    m_root->addChild(m_droneHolder.get());
    placeLiveDrone(GeoviewMapState::droneLongitude, GeoviewMapState::droneLatitude,
                   GeoviewMapState::droneAltitude);
    m_root->addChild(m_liveDrone.get());

    osg::StateSet *lighting = m_droneTransform->getOrCreateStateSet();
    lighting->setMode(GL_LIGHTING, osg::StateAttribute::ON);
    lighting->setMode(GL_LIGHT0, osg::StateAttribute::ON);
    lighting->setMode(GL_LIGHT1, osg::StateAttribute::ON);
}

double GeoviewMapWidget::computeRouteLength(osg::Vec3d point)
{
    if (m_measurePoints.empty())
        return 0.0;
    if (!hasMapNode("computeRouteLength"))
        return 0.0;
    return measuredLength(m_measurePoints, point);
}

double GeoviewMapWidget::measuredLength(const std::vector<osg::Vec3d> &points, const osg::Vec3d &point)
{
    if (points.empty())
        return 0.0;
    // On the ellipsoid: a sphere of the equator's radius reads lengths along
    // a meridian up to 0.67 % long.
    const auto geodesic = [](const osg::Vec3d &from, const osg::Vec3d &to) {
        return geo::EllipsoidGeodesic::distance(osg::DegreesToRadians(from.y()), osg::DegreesToRadians(from.x()),
                                                osg::DegreesToRadians(to.y()), osg::DegreesToRadians(to.x()));
    };
    double length = 0.0;
    for (size_t i = 1; i < points.size(); ++i)
        length += geodesic(points[i - 1], points[i]);
    return length + geodesic(points.back(), point);
}
