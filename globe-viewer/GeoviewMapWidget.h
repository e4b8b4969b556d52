#pragma once

#include <QString>
#include <QWidget>

#include <osg/AnimationPath>
#include <osg/Array>
#include <osg/CoordinateSystemNode>
#include <osg/Geode>
#include <osg/Group>
#include <osg/Image>
#include <osg/MatrixTransform>
#include <osg/Node>
#include <osg/Vec3d>
#include <osg/Vec3f>
#include <osg/Vec4f>
#include <osg/observer_ptr>
#include <osg/ref_ptr>
#include <osgGA/GUIActionAdapter>
#include <osgGA/GUIEventAdapter>
#include <osgViewer/Viewer>

#include <utility>
#include <vector>

#include "Compass.h"
#include "ScaleBar.h"
#include "geo/Angle.h"
#include "geo/CircleNode.h"
#include "geo/CircleNodeEditor.h"
#include "geo/ControlCanvas.h"
#include "geo/Distance.h"
#include "geo/EarthManipulator.h"
#include "geo/GeoPoint.h"
#include "geo/ImageControl.h"
#include "geo/LabelControl.h"
#include "geo/MeasureToolHandler.h"
#include "geo/MapNode.h"
#include "geo/PlaceNode.h"
#include "geo/SkyNode.h"
#include "geo/Style.h"
#include "geo/Terrain.h"
#include "geo/Viewpoint.h"

class QDialog;
class GeoviewMapInputWidget;
class GeoviewMapOffsetInputWidget;
class OsgViewerWidget;

// The globe: hosts the scene-graph viewer, keeps the map loaded from the
// earth file, follows the drone from position updates, records its flight
// path, and reports the operator's position requests as signals.
class GeoviewMapWidget : public QWidget
{
    Q_OBJECT

public:
    // The earth node read from a file, and the map node found in it; both
    // empty when the file held no map.
    using EarthNodes = std::pair<osg::ref_ptr<osg::Node>, geo::MapNode *>;

    explicit GeoviewMapWidget(QWidget *parent);
    ~GeoviewMapWidget() override;

    void flyToPosition(bool continueSend, double lon, double lat, double alt, bool emitSignal);
    EarthNodes loadEarthFile(QString path);
    void installMapNode(EarthNodes nodes);
    void setupModelTransform();
    // Length in metres of the measuring line from its first point through
    // its fixed points to `point`; 0 while no line is being measured.
    double computeRouteLength(osg::Vec3d point);
    // Length in metres on the ellipsoid from the first of `points` through
    // the others to `point`; 0 without points.
    static double measuredLength(const std::vector<osg::Vec3d> &points, const osg::Vec3d &point);

    // The drone's flight path (see GeoviewMapWidgetPath.cpp).
    double planarDistance(osg::Vec3d a, osg::Vec3d b);
    double segmentTime(osg::Vec3d a, osg::Vec3d b, double speed);
    osg::AnimationPath *createAirLinePath(osg::Vec4Array *points);
    void addHeadingKey(osg::Vec4Array *points, double headingDeg);
    osg::AnimationPath *createCirclePath(const geo::GeoPoint &center, const geo::SpatialReference *srs,
                                         float radius, double loopTime);
    osg::MatrixTransform *createFollowTransform(osg::Node *model, const geo::GeoPoint &center,
                                                const geo::SpatialReference *srs, float radius,
                                                double loopTime);
    // The path the drone model replays, which only enters the scene once the
    // camera follows; null until the scene is built.
    const osg::AnimationPath *flightPath() const { return m_modelPath.get(); }

    // The camera's footprint on the ground (see GeoviewMapWidgetFootprint.cpp).
    bool drawCameraFootprint(double dVerticalAngle, double dEOOpticalZoom, double dTargetLongitude,
                             double dTargetLatitude, double dLongitude, double dLatitude,
                             double dAltitude, double dYaw, double dYawAbs, double dPitch,
                             double dFov, double dUAVGPSDirection, double dUAVYaw,
                             double dUAVPitch, double dUAVRoll);

    // The pointer on the globe (see GeoviewMapWidgetInput.cpp). Each returns
    // false: the event goes on to the manipulator and the other handlers.
    bool handleMapEvent(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa);
    bool onMouseMove(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa);
    bool onMouseRelease(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa);

    // The on-screen buttons (see GeoviewMapWidgetButtons.cpp).
    void onControlClicked(geo::Control *control, const osg::Vec2f &pos, int mouseButtonMask);
    void addTrackCallback(osg::Node *node, float lineWidth);

    // The heading key that a drone yaw in degrees gives; false when the yaw
    // is not a finite number.
    static bool headingKeyOf(double dUAVYaw, int &key);
    // Whether a position is one a drone can report: on the globe, at an
    // altitude within PositionLimits.
    static bool isUsablePosition(double longitude, double latitude, double altitude);

signals:
    void mousePositionChanged(double dLongitude, double dLatitude, double dAltitude, double x, double y);
    void viewPositionChanged(double dLongitude, double dLatitude, double dAltitude);
    void manualViewPositionChanged(bool continueSend, double dVerticalAngle, double dEOOpticalZoom,
                                   double dTargetLongitude, double dTargetLatitude,
                                   double dLongitude, double dLatitude, double dAltitude,
                                   double dYaw, double dYawAbs, double dPitch, double dFov,
                                   double dUAVGPSDirection, double dUAVYaw, double dUAVPitch,
                                   double dUAVRoll);
    void earthFileLoadStarted();
    void earthFileLoadFinished(bool bSucced);
    void earthMapLoadFinished();
    void forceLocationChanged();

public slots:
    void manualGoToPosition(bool continueSend, double dLongitude, double dLatitude, double dAltitude);
    void manualStopGoToPosition();
    void offsetPosition(int dOffset);
    void autoGoToPosition(double dVerticalAngle, double dEOOpticalZoom, double dTargetLongitude,
                          double dTargetLatitude, double dLongitude, double dLatitude,
                          double dAltitude, double dYaw, double dYawAbs, double dPitch,
                          double dFov, double dUAVGPSDirection, double dUAVYaw, double dUAVPitch,
                          double dUAVRoll);
    void autoStopGoToPosition(double dVerticalAngle, double dEOOpticalZoom,
                              double dTargetLongitude, double dTargetLatitude, double dLongitude,
                              double dLatitude, double dAltitude, double dYaw, double dYawAbs,
                              double dPitch, double dFov, double dUAVGPSDirection, double dUAVYaw,
                              double dUAVPitch, double dUAVRoll);
    void updateAirLinePosition(osg::Vec4 curPoint, double dUAVYaw);
    void setShowTitle(QString strTitle);
    bool syncLoadEarthFile(QString strEarthFilePath);
    bool asyncLoadEarthFile(QString strEarthFilePath);
    void onOsgInitialized();

private:
    // The steps of the scene set-up (see GeoviewMapWidgetScene.cpp).
    void setUpViewer();
    void setUpCamera();
    void addReadoutLabels();
    void addGridButtons();
    void loadCommonEarthFile();
    void setUpFootprint();
    void addSky();
    void setUpPlacemarkStyles();
    void addScaleBar();
    void addSideButtons();
    void addMeasureTool();
    void setUpMeasureStyles();
    void bindZoom();
    geo::ImageControl *addButton(osg::Image *image);

    // Pointer input (see GeoviewMapWidgetInput.cpp).
    bool pickUnderPointer(const osgGA::GUIEventAdapter &ea, osg::Vec3d &picked);
    void drawLiveMeasureLine(const osg::Vec3d &picked);
    void dropPlacemark(const osg::Vec3d &picked);
    void addNumberedPlacemark(double longitude, double latitude);
    void takeMeasuringPoint(const osg::Vec3d &point);
    void startMeasurement(const osg::Vec3d &point);
    void completeMeasurement(const osg::Vec3d &point);
    void showLength(const osg::Vec3d &point);
    void forgetCompletedMeasureLine();
    void detachMeasureMarks();
    void detachFromScene(osg::Node *node);

    // Buttons (see GeoviewMapWidgetButtons.cpp).
    void toggleButton(bool &toggle, geo::ImageControl *button, const char *number, bool &mode);
    void toggleFollow();
    // Called every frame: the button shows whether the camera follows.
    void showFollowState();
    void setUpFollow();
    void clearPlacemarksAndMeasure();
    void showButtonImage(geo::ImageControl *button, const char *number, bool toggled);

    // Shows a dialog, also one that is open already, over every other window.
    static void bringUp(QDialog *dialog);
    // False, after one log line, while no map is installed.
    bool hasMapNode(const char *operation);
    osg::Vec3d toEarthCentred(const osg::Vec4f &point) const;
    void placeLiveDrone(double longitude, double latitude, double altitude);
    osg::Matrixd localFrameAt(const osg::Vec4f &point) const;

    GeoviewMapInputWidget *m_inputWidget;
    GeoviewMapOffsetInputWidget *m_offsetInputWidget;
    OsgViewerWidget *m_glWidget;
    osg::ref_ptr<osg::Node> m_earthNode;
    osg::ref_ptr<osgViewer::Viewer> m_viewer;
    osg::ref_ptr<osg::Group> m_root;
    osg::ref_ptr<geo::EarthManipulator> m_manipulator;
    osg::ref_ptr<osg::CoordinateSystemNode> m_coordinateSystemNode;
    osg::ref_ptr<osg::MatrixTransform> m_rootTransform;
    QString m_droneModelPath;
    osg::ref_ptr<osg::Node> m_droneModel;
    osg::ref_ptr<osg::MatrixTransform> m_droneTransform;
    osg::ref_ptr<osg::MatrixTransform> m_droneHolder;
    // Where the last position message put the drone, at full precision; the
    // follow camera is tethered to it. The holder instead replays the
    // flight path from its beginning.
    osg::ref_ptr<osg::MatrixTransform> m_liveDrone;
    osg::Vec4f m_lastAirLinePoint;
    osg::ref_ptr<osg::AnimationPath> m_modelPath;
    std::vector<osg::Vec3d> m_measurePoints;
    geo::MapNode *m_mapNode;
    geo::Terrain *m_terrain;
    std::vector<osg::ref_ptr<geo::PlaceNode>> m_placemarks;
    osg::ref_ptr<geo::PlaceNode> m_lastPlacemark;
    geo::Style m_footprintStyle;
    geo::GeoPoint m_footprintCenter;
    geo::Distance m_footprintRadius;
    geo::Angle m_footprintStartAngle;
    geo::Angle m_footprintEndAngle;
    bool m_flyOnNextUpdate;
    int m_yawOffset;

    // Filled when the scene is built on GL initialisation.
    osg::ref_ptr<geo::ControlCanvas> m_canvas;
    osg::ref_ptr<geo::LabelControl> m_readoutLabel;
    osg::ref_ptr<geo::ImageControl> m_gridButton02;
    osg::ref_ptr<geo::ImageControl> m_gridButton03;
    osg::ref_ptr<geo::ImageControl> m_button09;
    osg::ref_ptr<geo::ImageControl> m_button10;
    osg::ref_ptr<geo::ImageControl> m_button07;
    osg::ref_ptr<geo::ImageControl> m_button08;
    osg::ref_ptr<geo::ImageControl> m_button01;
    osg::ref_ptr<geo::ImageControl> m_button06;
    osg::ref_ptr<osg::Image> m_image09;
    osg::ref_ptr<osg::Image> m_image10;
    osg::ref_ptr<osg::Image> m_image07;
    osg::ref_ptr<osg::Image> m_image08;
    osg::ref_ptr<osg::Image> m_image01;
    osg::ref_ptr<osg::Image> m_image06;
    const geo::SpatialReference *m_geographicSRS;
    osg::ref_ptr<geo::PlaceNode> m_targetPlacemark;
    osg::ref_ptr<geo::CircleNode> m_footprintSector;
    osg::ref_ptr<geo::CircleNodeEditor> m_footprintEditor;
    osg::ref_ptr<Compass> m_compass;
    osg::ref_ptr<ScaleBar> m_scaleBar;
    osg::ref_ptr<geo::SkyNode> m_skyNode;
    geo::Viewpoint m_followViewpoint;
    osg::ref_ptr<osg::Group> m_trackGroup;
    osg::ref_ptr<osg::Geode> m_trackGeode;

    osg::ref_ptr<geo::MeasureToolHandler> m_measureTool;
    osg::ref_ptr<osg::MatrixTransform> m_followTransform;

    bool m_reportedNoMap;

    // How far addHeadingKey has walked the route: the route only grows, so
    // each message adds its one new segment's travel time to the sum rather
    // than walking the whole route again.
    struct RouteWalk
    {
        osg::observer_ptr<osg::Vec4Array> points;
        unsigned int modifiedCount = 0;
        size_t walked = 0;
        osg::Vec4f lastWalked;
        double time = 0.0;
    };
    double routeTravelTime(osg::Vec4Array *points);

    RouteWalk m_routeWalk;
};

// updateAirLinePosition is reached only through the meta-object system.
Q_DECLARE_METATYPE(osg::Vec4f)
