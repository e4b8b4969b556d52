#pragma once

#include <osg/Matrixd>
#include <osg/Referenced>
#include <osg/observer_ptr>
#include <osgGA/CameraManipulator>

#include <map>

#include "geo/Viewpoint.h"

namespace geo {

// The globe's camera: it looks at a focal point on the globe from a heading,
// a pitch and a range (see Viewpoint) and moves between viewpoints in timed
// flights.
//
// Time is the frame time of the FRAME events it handles (ea.getTime()), so a
// flight can be driven by hand: a flight given to setViewpoint starts at the
// next FRAME event and reaches its target exactly when that event's time
// plus the duration has passed.
//
// Mouse: left drag pans (the globe follows the pointer), middle drag or
// left drag with Ctrl rotates (heading and pitch), right drag zooms; the
// scroll wheel does what the settings bind to it (by default, up zooms in,
// down zooms out). Any of these ends a flight; a tether survives rotation
// and zoom, and a pan ends it.
//
// A wheel event zooms by as many steps as its angle delta holds notches
// (osgGA's scrolling delta, 120 a notch as Qt counts it; an event without a
// delta is one notch), so the small events of a touchpad add up to what
// the notches of a wheel do. A right drag scales the range by e^(-dy) for
// a vertical move of dy in normalised window units: however fast the
// drag, one event never takes the range to zero or past it.
class EarthManipulator : public osgGA::CameraManipulator
{
public:
    enum ActionType { ACTION_NULL, ACTION_ZOOM_IN, ACTION_ZOOM_OUT };

    class Settings : public osg::Referenced
    {
    public:
        // Flights between distant points rise on an arc, so that the
        // camera sees where it goes; otherwise the range changes steadily.
        void setArcViewpointTransitions(bool arc) { m_arc = arc; }
        bool getArcViewpointTransitions() const { return m_arc; }

        // The range is always kept between these (metres).
        void setMinMaxDistance(double minimum, double maximum);
        double getMinDistance() const { return m_minDistance; }
        double getMaxDistance() const { return m_maxDistance; }

        // The pitch is always kept between these (degrees). The default
        // band, -90 to -10, keeps the globe in sight: -100 looks straight
        // down.
        void setMinMaxPitch(double minimum, double maximum);
        double getMinPitch() const { return m_minPitch; }
        double getMaxPitch() const { return m_maxPitch; }

        // What a wheel motion (osgGA::GUIEventAdapter::SCROLL_UP and so on)
        // does while exactly the modifier keys `modKeyMask` are held.
        void bindScroll(ActionType action, int scrollMotion, int modKeyMask = 0);
        ActionType scrollAction(int scrollMotion, int modKeyMask) const;

        // The share of the range one wheel notch zooms by (default 0.2).
        void setScrollZoomFactor(double factor) { m_scrollZoomFactor = factor; }
        double getScrollZoomFactor() const { return m_scrollZoomFactor; }

    private:
        bool m_arc = false;
        double m_minDistance = 1.0;
        double m_maxDistance = 1.0e8;
        double m_minPitch = -90.0;
        double m_maxPitch = -10.0;
        double m_scrollZoomFactor = 0.2;
        std::map<std::pair<int, int>, ActionType> m_scrollBindings;
    };

    EarthManipulator();

    Settings *getSettings() const { return m_settings.get(); }

    // Moves to `viewpoint` over `durationSeconds` of frame time (at once for
    // 0 or less), heading, pitch and range included, each kept within the
    // settings' bounds. A viewpoint with a node tethers the camera to it
    // until clearViewpoint() or a pan; its focal point is then the node's.
    // An invalid viewpoint is ignored.
    void setViewpoint(const Viewpoint &viewpoint, double durationSeconds = 0.0);
    // The current viewpoint: focal point in geographic WGS84, heading,
    // pitch, range, and the tethered node if any.
    Viewpoint getViewpoint() const;
    // Ends a tether or a flight; the camera stays where it is.
    void clearViewpoint();
    bool isSettingViewpoint() const { return m_flight.active; }
    bool isTethering() const { return m_tether.valid(); }

    // Scales the range by (1 + dy), within the settings' bounds; dx is not
    // used. Negative dy zooms in.
    virtual void zoom(double dx, double dy);

    // Heading (azimuth, clockwise from north) and pitch of the camera in
    // radians.
    void getCompositeEulerAngles(double *azimuth, double *pitch = nullptr) const;

    // osgGA::CameraManipulator
    const char *className() const override { return "Globe manipulator"; }
    void setByMatrix(const osg::Matrixd &matrix) override;
    void setByInverseMatrix(const osg::Matrixd &matrix) override;
    osg::Matrixd getMatrix() const override;
    osg::Matrixd getInverseMatrix() const override;
    void setNode(osg::Node *node) override;
    osg::Node *getNode() override;
    const osg::Node *getNode() const override;
    void home(double currentTime) override;
    void home(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa) override;
    bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa) override;

private:
    struct Pose
    {
        osg::Vec3d focal; // longitude, latitude (degrees), height (metres)
        double heading = 0.0;
        double pitch = -90.0;
        double range = 1.0e7;
    };
    struct Flight
    {
        bool active = false;
        bool started = false;
        double startTime = 0.0;
        double duration = 0.0;
        double arcHeight = 0.0;
        Pose from;
        Pose to;
    };

    Pose clamped(Pose pose) const;
    Pose targetPose(const Viewpoint &viewpoint) const;
    void advanceFlight(double time);
    void followTether();
    Pose interpolate(const Pose &from, const Pose &to, double t, double arcHeight) const;
    double arcHeightFor(const Pose &from, const Pose &to) const;
    bool handleFrame(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa);
    bool handleScroll(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa);
    bool handleDrag(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa);
    void scaleRange(double factor);
    void pan(double dx, double dy);
    void rotate(double dx, double dy);
    void stopFlight();

    osg::ref_ptr<Settings> m_settings;
    osg::observer_ptr<osg::Node> m_node;
    osg::observer_ptr<osg::Node> m_tether;
    Pose m_pose;
    Flight m_flight;
    float m_lastX = 0.0f;
    float m_lastY = 0.0f;
};

} // namespace geo
