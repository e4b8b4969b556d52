// The on-screen buttons: modes, the offset dialog, the host's relocation,
// following the drone with its trail, clearing, zooming.

#include "GeoviewMapWidget.h"

#include <QCoreApplication>
#include <QDebug>

#include <osg/AnimationPath>
#include <osgDB/ReadFile>
#include <osgDB/Registry>

#include "CreateTrackCallback.h"
#include "GeoviewMapOffsetInputWidget.h"
#include "GeoviewMapState.h"

using namespace GeoviewMapState;

namespace {

constexpr double kButtonZoom = 0.1;
constexpr double kFollowSeconds = 1.0;

} // namespace

void GeoviewMapWidget::onControlClicked(geo::Control *control, const osg::Vec2f &pos, int)
{
    if (control == nullptr)
        return;
    if (control == m_button01.get()) {
        qDebug() << "You clicked at (" << pos.x() << ", " << pos.y() << ") within the control." << Qt::endl;
        emit forceLocationChanged();
        m_flyOnNextUpdate = true;
    } else if (control == m_button08.get()) {
        toggleFollow();
    } else if (control == m_button07.get()) {
        if (!measuringToggle)
            measureClickCount = 0;
        toggleButton(measuringToggle, m_button07.get(), "07", measuringMode);
    } else if (control == m_button09.get()) {
        toggleButton(placemarkToggle, m_button09.get(), "09", placemarkMode);
    } else if (control == m_button10.get()) {
        bringUp(m_offsetInputWidget);
    } else if (control == m_gridButton02.get()) {
        m_manipulator->zoom(kButtonZoom, kButtonZoom);
    } else if (control == m_gridButton03.get()) {
        m_manipulator->zoom(-kButtonZoom, -kButtonZoom);
    } else if (control == m_button06.get()) {
        clearPlacemarksAndMeasure();
    }
}

void GeoviewMapWidget::showButtonImage(geo::ImageControl *button, const char *number, bool toggled)
{
    if (button == nullptr)
        return;
    const QString path = QCoreApplication::applicationDirPath() + "/data/Optivane" + number
                         + (toggled ? "_02.png" : "_01.png");
    button->setImage(osgDB::readImageFile(path.toStdString(), osgDB::Registry::instance()->getOptions()));
}

void GeoviewMapWidget::toggleButton(bool &toggle, geo::ImageControl *button, const char *number, bool &mode)
{
    mode = toggle;
    showButtonImage(button, number, toggle);
    toggle = !toggle;
}

void GeoviewMapWidget::toggleFollow()
{
    auto *manipulator = dynamic_cast<geo::EarthManipulator *>(m_viewer->getCameraManipulator());
    if (manipulator == nullptr)
        return;
    if (!followToggle) {
        manipulator->clearViewpoint();
        showButtonImage(m_button08.get(), "08", false);
    } else if (m_followViewpoint.isValid()) {
        // Set up once: later clicks return to the framing of the first.
        manipulator->setViewpoint(m_followViewpoint, kFollowSeconds);
        showButtonImage(m_button08.get(), "08", true);
    } else if (hasMapNode("follow mode")) {
        setUpFollow();
    }
    followToggle = !followToggle;
}

void GeoviewMapWidget::showFollowState()
{
    // A pan, a flight to a position or the relocation ends the tether
    // without a click on the button: it then shows that the camera no
    // longer follows, and its next click follows again.
    auto *manipulator = dynamic_cast<geo::EarthManipulator *>(m_viewer->getCameraManipulator());
    if (followToggle || manipulator == nullptr || manipulator->isTethering())
        return;
    showButtonImage(m_button08.get(), "08", false);
    followToggle = true;
}

void GeoviewMapWidget::setUpFollow()
{
    const geo::SpatialReference *srs = m_mapNode->getMapSRS();
    const geo::GeoPoint center(srs->getGeographicSRS(), droneLongitude, droneLatitude, 400.0,
                               geo::ALTMODE_ABSOLUTE);
    m_followTransform = createFollowTransform(m_droneModel.get(), center, srs, 5000.0f, 20.0);
    m_root->addChild(m_followTransform.get());
    showButtonImage(m_button08.get(), "08", true);
    m_droneTransform->setMatrix(osg::Matrixd::scale(3.0, 3.0, 3.0)
                                * osg::Matrixd::rotate(0.0, osg::Vec3d(0, 0, 1)));
    m_droneHolder->setUpdateCallback(new osg::AnimationPathCallback(m_modelPath.get(), 0.0, 1.0));

    auto *manipulator = static_cast<geo::EarthManipulator *>(m_viewer->getCameraManipulator());
    // Tethered to the drone as the last position message placed it: the
    // model's first parent is the holder, which replays the flight from its
    // beginning and starts at the earth's centre.
    m_followViewpoint = manipulator->getViewpoint();
    m_followViewpoint.setNode(m_liveDrone.get());
    m_followViewpoint.setRange(geo::Distance(1600.0, geo::Units::METERS));
    m_followViewpoint.setPitch(geo::Angle(-90.0, geo::Units::DEGREES));
    manipulator->setViewpoint(m_followViewpoint, kFollowSeconds);
    addTrackCallback(m_droneHolder.get(), 5.0f);
}

void GeoviewMapWidget::addTrackCallback(osg::Node *node, float lineWidth)
{
    node->addUpdateCallback(new CreateTrackCallback(m_trackGroup.get(), node, lineWidth));
    if (hasMapNode("the track"))
        m_mapNode->addChild(m_trackGroup.get());
}

void GeoviewMapWidget::clearPlacemarksAndMeasure()
{
    for (const auto &placemark : m_placemarks)
        m_root->removeChild(placemark.get());
    m_placemarks.clear();
    if (!clearToggle) {
        showButtonImage(m_button06.get(), "06", false);
        clearToggle = !clearToggle;
        return;
    }
    forgetCompletedMeasureLine();
    // A measurement that has begun and not ended keeps its line.
    if (!measureLine.valid()) {
        if (startMarker.valid() && endMarker.valid() && lengthLabel.valid()
            && startMarker->getNumChildren() > 0 && endMarker->getNumChildren() > 0
            && lengthLabel->getNumChildren() > 0) {
            for (geo::PlaceNode *mark : {startMarker.get(), endMarker.get(), lengthLabel.get()})
                mark->removeChildren(0, mark->getNumChildren());
        }
        detachMeasureMarks();
        showButtonImage(m_button06.get(), "06", true);
        keepMarkers = true;
    }
    measuringMode = false;
    measuringToggle = true;
    showButtonImage(m_button07.get(), "07", false);
    clearToggle = !clearToggle;
}
