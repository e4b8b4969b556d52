#include "geo/EarthManipulator.h"

#include <osgGA/GUIEventAdapter>

#include <algorithm>
#include <cmath>

#include "geo/GeoMath.h"
#include "geo/Terrain.h"

namespace geo {

namespace {

const SpatialReference *geographic()
{
    return SpatialReference::wgs84Geographic();
}

double clampValue(double value, double low, double high)
{
    return std::max(low, std::min(high, value));
}

// Shortest signed turn from one heading to another, degrees.
double headingTurn(double from, double to)
{
    double turn = std::fmod(to - from, 360.0);
    if (turn > 180.0)
        turn -= 360.0;
    if (turn < -180.0)
        turn += 360.0;
    return turn;
}

double normalizedHeading(double heading)
{
    const double wrapped = std::fmod(heading, 360.0);
    return wrapped < 0.0 ? wrapped + 360.0 : wrapped;
}

osg::Vec3d unitDirection(const osg::Vec3d &lonLat)
{
    const double lon = osg::DegreesToRadians(lonLat.x()), lat = osg::DegreesToRadians(lonLat.y());
    return osg::Vec3d(std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat));
}

// The point a share `s` of the way from unit vector a to unit vector b along
// the great circle through both: a turned about their common axis. Points
// exactly opposite have no common great circle; any one through both will
// do, and one through the poles' axis is as good as another.
osg::Vec3d alongGreatCircle(const osg::Vec3d &a, const osg::Vec3d &b, double s)
{
    osg::Vec3d axis = a ^ b;
    if (axis.length() < 1e-9) {
        axis = a ^ osg::Vec3d(0.0, 0.0, 1.0);
        if (axis.length() < 1e-9)
            axis = a ^ osg::Vec3d(1.0, 0.0, 0.0);
    }
    axis.normalize();
    const double angle = std::acos(clampValue(a * b, -1.0, 1.0)) * s;
    return a * std::cos(angle) + (axis ^ a) * std::sin(angle);
}

// Where a node is, in world coordinates, through the transforms above it on
// its first path to a root: a transform stands at its own origin, whatever
// it holds (possibly nothing); any other node at the centre of its bound.
osg::Vec3d worldCentre(osg::Node *node)
{
    const osg::NodePathList paths = node->getParentalNodePaths();
    osg::NodePath path = paths.empty() ? osg::NodePath{node} : paths.front();
    if (node->asTransform() != nullptr)
        return osg::Vec3d() * osg::computeLocalToWorld(path);
    path.pop_back(); // the node's own bound already includes its own transform
    const osg::Vec3d centre = node->getBound().valid() ? osg::Vec3d(node->getBound().center()) : osg::Vec3d();
    return centre * osg::computeLocalToWorld(path);
}

// How many wheel notches an event holds: its delta along the motion's axis
// over the 120 of one notch. Events made without a delta count as one.
double scrollNotches(const osgGA::GUIEventAdapter &ea)
{
    constexpr double notch = 120.0;
    const auto motion = ea.getScrollingMotion();
    const bool sideways = motion == osgGA::GUIEventAdapter::SCROLL_LEFT
                          || motion == osgGA::GUIEventAdapter::SCROLL_RIGHT;
    const double delta = std::fabs(sideways ? ea.getScrollingDeltaX() : ea.getScrollingDeltaY());
    return delta > 0.0 && std::isfinite(delta) ? delta / notch : 1.0;
}

} // namespace

void EarthManipulator::Settings::setMinMaxDistance(double minimum, double maximum)
{
    m_minDistance = std::max(0.0, std::min(minimum, maximum));
    m_maxDistance = std::max(minimum, maximum);
}

void EarthManipulator::Settings::setMinMaxPitch(double minimum, double maximum)
{
    m_minPitch = clampValue(std::min(minimum, maximum), -90.0, 90.0);
    m_maxPitch = clampValue(std::max(minimum, maximum), -90.0, 90.0);
}

void EarthManipulator::Settings::bindScroll(ActionType action, int scrollMotion, int modKeyMask)
{
    m_scrollBindings[{scrollMotion, modKeyMask}] = action;
}

EarthManipulator::ActionType EarthManipulator::Settings::scrollAction(int scrollMotion, int modKeyMask) const
{
    const auto found = m_scrollBindings.find({scrollMotion, modKeyMask});
    return found == m_scrollBindings.end() ? ACTION_NULL : found->second;
}

EarthManipulator::EarthManipulator() : m_settings(new Settings)
{
    m_settings->bindScroll(ACTION_ZOOM_IN, osgGA::GUIEventAdapter::SCROLL_UP);
    m_settings->bindScroll(ACTION_ZOOM_OUT, osgGA::GUIEventAdapter::SCROLL_DOWN);
    m_pose = clamped(m_pose);
}

EarthManipulator::Pose EarthManipulator::clamped(Pose pose) const
{
    pose.range = clampValue(pose.range, m_settings->getMinDistance(), m_settings->getMaxDistance());
    pose.pitch = clampValue(pose.pitch, m_settings->getMinPitch(), m_settings->getMaxPitch());
    pose.heading = normalizedHeading(pose.heading);
    pose.focal.y() = clampValue(pose.focal.y(), -89.999, 89.999);
    pose.focal.x() = osg::RadiansToDegrees(GeoMath::normalizeLongitude(osg::DegreesToRadians(pose.focal.x())));
    return pose;
}

// ---- viewpoints and flights ------------------------------------------------

EarthManipulator::Pose EarthManipulator::targetPose(const Viewpoint &viewpoint) const
{
    Pose pose = m_pose;
    if (viewpoint.focalPoint().isValid())
        pose.focal = viewpoint.focalPoint().transform(geographic()).vec3d();
    pose.heading = viewpoint.heading().as(Units::DEGREES);
    pose.pitch = viewpoint.pitch().as(Units::DEGREES);
    pose.range = viewpoint.range().as(Units::METERS);
    return clamped(pose);
}

void EarthManipulator::setViewpoint(const Viewpoint &viewpoint, double durationSeconds)
{
    if (!viewpoint.isValid())
        return;
    m_tether = viewpoint.getNode();
    const Pose target = targetPose(viewpoint);
    if (durationSeconds <= 0.0) {
        m_flight.active = false;
        m_pose = target;
        followTether();
        return;
    }
    m_flight = Flight();
    m_flight.active = true;
    m_flight.duration = durationSeconds;
    m_flight.from = m_pose;
    m_flight.to = target;
    followTether();
    m_flight.arcHeight = arcHeightFor(m_flight.from, m_flight.to);
}

Viewpoint EarthManipulator::getViewpoint() const
{
    Viewpoint viewpoint;
    viewpoint.setFocalPoint(GeoPoint(geographic(), m_pose.focal, ALTMODE_ABSOLUTE));
    viewpoint.setHeading(Angle(m_pose.heading));
    viewpoint.setPitch(Angle(m_pose.pitch));
    viewpoint.setRange(Distance(m_pose.range));
    viewpoint.setNode(m_tether.get());
    return viewpoint;
}

void EarthManipulator::clearViewpoint()
{
    m_tether = nullptr;
    m_flight.active = false;
}

void EarthManipulator::stopFlight()
{
    m_flight.active = false;
}

double EarthManipulator::arcHeightFor(const Pose &from, const Pose &to) const
{
    if (!m_settings->getArcViewpointTransitions())
        return 0.0;
    // Rising to half the distance travelled keeps both ends of a long
    // flight in view at its top.
    const double lat1 = osg::DegreesToRadians(from.focal.y()), lon1 = osg::DegreesToRadians(from.focal.x());
    const double lat2 = osg::DegreesToRadians(to.focal.y()), lon2 = osg::DegreesToRadians(to.focal.x());
    return 0.5 * GeoMath::distance(lat1, lon1, lat2, lon2);
}

EarthManipulator::Pose EarthManipulator::interpolate(const Pose &from, const Pose &to, double t,
                                                     double arcHeight) const
{
    // Ease in and out, so the camera neither jerks away nor slams in.
    const double s = t * t * (3.0 - 2.0 * t);
    Pose pose;
    const osg::Vec3d direction = alongGreatCircle(unitDirection(from.focal), unitDirection(to.focal), s);
    pose.focal.set(osg::RadiansToDegrees(std::atan2(direction.y(), direction.x())),
                   osg::RadiansToDegrees(std::asin(clampValue(direction.z(), -1.0, 1.0))),
                   from.focal.z() + (to.focal.z() - from.focal.z()) * s);
    pose.heading = normalizedHeading(from.heading + headingTurn(from.heading, to.heading) * s);
    pose.pitch = from.pitch + (to.pitch - from.pitch) * s;
    // Ranges change by orders of magnitude in one flight (from orbit to a
    // street): move evenly in their logarithm.
    pose.range = std::exp(std::log(from.range) + (std::log(to.range) - std::log(from.range)) * s)
                 + arcHeight * std::sin(osg::PI * s);
    return pose;
}

void EarthManipulator::advanceFlight(double time)
{
    if (!m_flight.active)
        return;
    if (!m_flight.started) {
        m_flight.started = true;
        m_flight.startTime = time;
    }
    const double t = (time - m_flight.startTime) / m_flight.duration;
    if (t >= 1.0) {
        m_pose = m_flight.to;
        m_flight.active = false;
    } else {
        m_pose = interpolate(m_flight.from, m_flight.to, std::max(0.0, t), m_flight.arcHeight);
    }
}

void EarthManipulator::followTether()
{
    if (!m_tether.valid())
        return;
    osg::ref_ptr<osg::Node> node;
    if (!m_tether.lock(node))
        return;
    osg::Vec3d focal;
    geographic()->transformFromWorld(worldCentre(node.get()), focal);
    if (m_flight.active)
        m_flight.to.focal = focal;
    else
        m_pose.focal = focal;
}

// ---- zoom, pan, rotate -------------------------------------------------------

void EarthManipulator::zoom(double, double dy)
{
    scaleRange(1.0 + dy);
}

void EarthManipulator::scaleRange(double factor)
{
    stopFlight();
    // A factor of zero or less would put the eye on or behind the focal point.
    if (!(factor > 0.0) || !std::isfinite(factor))
        return;
    m_pose.range *= factor;
    m_pose = clamped(m_pose);
}

void EarthManipulator::pan(double dx, double dy)
{
    // dx and dy are in normalised window units (-1..1 across the view); the
    // ground a view shows is about as wide as the range, so this keeps the
    // globe roughly under the pointer without a pick.
    const double heading = osg::DegreesToRadians(m_pose.heading);
    const double right = -dx * 0.45 * m_pose.range, forward = -dy * 0.3 * m_pose.range;
    const double east = right * std::cos(heading) + forward * std::sin(heading);
    const double north = -right * std::sin(heading) + forward * std::cos(heading);
    const double radius = GeoMath::kDefaultRadius;
    const double lat = osg::DegreesToRadians(m_pose.focal.y());
    m_pose.focal.y() += osg::RadiansToDegrees(north / radius);
    m_pose.focal.x() += osg::RadiansToDegrees(east / (radius * std::max(0.01, std::cos(lat))));
    m_pose = clamped(m_pose);
}

void EarthManipulator::rotate(double dx, double dy)
{
    m_pose.heading -= dx * 180.0;
    m_pose.pitch += dy * 90.0;
    m_pose = clamped(m_pose);
}

void EarthManipulator::getCompositeEulerAngles(double *azimuth, double *pitch) const
{
    if (azimuth)
        *azimuth = osg::DegreesToRadians(m_pose.heading);
    if (pitch)
        *pitch = osg::DegreesToRadians(m_pose.pitch);
}

// ---- events ------------------------------------------------------------------

bool EarthManipulator::handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    // A press, drag or scroll that an on-screen control took is not the globe's.
    if (ea.getHandled() && ea.getEventType() != osgGA::GUIEventAdapter::FRAME)
        return false;
    switch (ea.getEventType()) {
    case osgGA::GUIEventAdapter::FRAME:
        return handleFrame(ea, aa);
    case osgGA::GUIEventAdapter::SCROLL:
        return handleScroll(ea, aa);
    case osgGA::GUIEventAdapter::PUSH:
        m_lastX = ea.getXnormalized();
        m_lastY = ea.getYnormalized();
        return false;
    case osgGA::GUIEventAdapter::DRAG:
        return handleDrag(ea, aa);
    default:
        return false;
    }
}

bool EarthManipulator::handleFrame(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    advanceFlight(ea.getTime());
    followTether();
    const bool moving = m_flight.active || m_tether.valid();
    if (moving)
        aa.requestRedraw();
    aa.requestContinuousUpdate(moving);
    return false;
}

bool EarthManipulator::handleScroll(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    const int modifiers = ea.getModKeyMask() & ~(osgGA::GUIEventAdapter::MODKEY_NUM_LOCK
                                                 | osgGA::GUIEventAdapter::MODKEY_CAPS_LOCK);
    const double factor = m_settings->getScrollZoomFactor();
    const double notches = scrollNotches(ea);
    switch (m_settings->scrollAction(ea.getScrollingMotion(), modifiers)) {
    case ACTION_ZOOM_IN:
        scaleRange(std::pow(1.0 - factor, notches));
        break;
    case ACTION_ZOOM_OUT:
        scaleRange(std::pow(1.0 + factor, notches));
        break;
    default:
        return false;
    }
    aa.requestRedraw();
    return true;
}

bool EarthManipulator::handleDrag(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    const double dx = ea.getXnormalized() - m_lastX, dy = ea.getYnormalized() - m_lastY;
    m_lastX = ea.getXnormalized();
    m_lastY = ea.getYnormalized();
    const unsigned buttons = ea.getButtonMask();
    const bool ctrl = ea.getModKeyMask() & osgGA::GUIEventAdapter::MODKEY_CTRL;
    stopFlight();
    if (buttons == osgGA::GUIEventAdapter::MIDDLE_MOUSE_BUTTON
        || (buttons == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON && ctrl)) {
        rotate(dx, dy);
    } else if (buttons == osgGA::GUIEventAdapter::LEFT_MOUSE_BUTTON) {
        m_tether = nullptr;
        pan(dx, dy);
    } else if (buttons == osgGA::GUIEventAdapter::RIGHT_MOUSE_BUTTON) {
        // For small moves as 1 - dy; a move of half the view or more would
        // take that to zero or below.
        scaleRange(std::exp(-dy));
    } else {
        return false;
    }
    aa.requestRedraw();
    return true;
}

// ---- camera matrices ---------------------------------------------------------

osg::Matrixd EarthManipulator::getInverseMatrix() const
{
    osg::Matrixd frame;
    geographic()->createLocalToWorld(m_pose.focal, frame);
    const double h = osg::DegreesToRadians(m_pose.heading), p = osg::DegreesToRadians(m_pose.pitch);
    const osg::Vec3d look(std::cos(p) * std::sin(h), std::cos(p) * std::cos(h), std::sin(p));
    const osg::Vec3d up(-std::sin(p) * std::sin(h), -std::sin(p) * std::cos(h), std::cos(p));
    const osg::Vec3d centre = frame.getTrans();
    const osg::Vec3d eye = (-look * m_pose.range) * frame;
    return osg::Matrixd::lookAt(eye, centre, osg::Matrixd::transform3x3(up, frame));
}

osg::Matrixd EarthManipulator::getMatrix() const
{
    return osg::Matrixd::inverse(getInverseMatrix());
}

void EarthManipulator::setByMatrix(const osg::Matrixd &matrix)
{
    // Look where the camera looks; when it looks past the globe, look at the
    // ground straight below it instead.
    const osg::Vec3d eye = matrix.getTrans();
    const osg::Vec3d look = osg::Matrixd::transform3x3(osg::Vec3d(0.0, 0.0, -1.0), matrix);
    osg::Vec3d focalWorld;
    if (!Terrain::intersectSegment(eye, eye + look * 1.0e8, focalWorld)) {
        osg::Vec3d below;
        geographic()->transformFromWorld(eye, below);
        below.z() = 0.0;
        geographic()->transformToWorld(below, focalWorld);
    }
    Pose pose;
    geographic()->transformFromWorld(focalWorld, pose.focal);
    pose.range = (eye - focalWorld).length();
    osg::Matrixd frame;
    geographic()->createLocalToWorld(pose.focal, frame);
    const osg::Vec3d local = osg::Matrixd::transform3x3(frame, focalWorld - eye); // world to local
    if (pose.range > 0.0) {
        pose.pitch = osg::RadiansToDegrees(std::asin(clampValue(local.z() / pose.range, -1.0, 1.0)));
        pose.heading = osg::RadiansToDegrees(std::atan2(local.x(), local.y()));
    }
    m_tether = nullptr;
    m_flight.active = false;
    m_pose = clamped(pose);
}

void EarthManipulator::setByInverseMatrix(const osg::Matrixd &matrix)
{
    setByMatrix(osg::Matrixd::inverse(matrix));
}

void EarthManipulator::setNode(osg::Node *node)
{
    m_node = node;
}

osg::Node *EarthManipulator::getNode()
{
    return m_node.get();
}

const osg::Node *EarthManipulator::getNode() const
{
    return m_node.get();
}

void EarthManipulator::home(double)
{
    // The whole globe, seen from above the meeting of the equator and the
    // prime meridian.
    m_tether = nullptr;
    m_flight.active = false;
    Pose pose;
    pose.focal.set(0.0, 0.0, 0.0);
    pose.range = 2.0e7;
    m_pose = clamped(pose);
}

void EarthManipulator::home(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa)
{
    home(ea.getTime());
    aa.requestRedraw();
}

} // namespace geo
