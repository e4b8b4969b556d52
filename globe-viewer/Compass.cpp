#include "Compass.h"

#include <osg/Math>
#include <osgDB/ReadFile>
#include <osgViewer/View>

#include <cmath>
#include <iomanip>
#include <sstream>

#include "geo/EarthManipulator.h"

namespace {

// Headings closer than this count as unchanged, so a still camera costs no
// control updates, and as north when this close to 0 or 360.
constexpr double kHeadingTolerance = 0.01;

// Font size and paddings follow the rose's height, so that the readout and
// the pointer land on the same spots of any rose image.
constexpr double kFontShare = 0.12;
constexpr double kReadoutTopShare = 0.69;
constexpr double kReadoutRightShare = 0.5;
constexpr double kPointerTopShare = 0.99;
constexpr double kPointerRightShare = 0.685;

osgViewer::View *eventView(osg::View *view)
{
    return dynamic_cast<osgViewer::View *>(view);
}

void placeTopRight(geo::Control &control)
{
    control.setAbsorbEvents(false);
    control.setHorizAlign(geo::Control::ALIGN_RIGHT);
    control.setVertAlign(geo::Control::ALIGN_TOP);
}

double normalisedDegrees(double degrees)
{
    if (degrees < 0.0 || degrees >= 360.0) {
        degrees = std::fmod(degrees, 360.0);
        if (degrees < 0.0)
            degrees += 360.0;
    }
    return degrees;
}

} // namespace

bool Compass::FrameEventHandler::handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &,
                                        osg::Object *, osg::NodeVisitor *)
{
    if (ea.getEventType() == osgGA::GUIEventAdapter::FRAME && m_compass != nullptr)
        m_compass->updateHeading();
    return false;
}

Compass::Compass(const std::string &imagePath, geo::ControlCanvas *canvas)
    : m_canvas(canvas)
{
    osg::ref_ptr<osg::Image> image = osgDB::readRefImageFile(imagePath);
    if (!image.valid())
        return;

    m_image = new geo::ImageControl(image.get());
    placeTopRight(*m_image);
    m_image->setFixSizeForRotation(true);
    m_image->setName("Compass Image");

    const double height = image->t();
    const float fontSize = float(int(height * kFontShare));

    m_readout = new geo::LabelControl("0.0", fontSize, osg::Vec4f(1, 1, 1, 1));
    placeTopRight(*m_readout);
    m_readout->setPadding(geo::Control::SIDE_TOP, float(height * kReadoutTopShare));
    m_readout->setPadding(geo::Control::SIDE_RIGHT, float(height * kReadoutRightShare));
    m_readout->setHaloColor(osg::Vec4f(0, 0, 0, 1));
    m_readout->setName("Compass Readout");

    m_pointer = new geo::LabelControl("|", fontSize, osg::Vec4f(1, 0, 0, 1));
    placeTopRight(*m_pointer);
    m_pointer->setPadding(geo::Control::SIDE_TOP, float(height * kPointerTopShare));
    m_pointer->setPadding(geo::Control::SIDE_RIGHT, float(height * kPointerRightShare));
    m_pointer->setName("Compass Pointer");

    m_frameHandler = new FrameEventHandler(this);
}

Compass::~Compass()
{
    osg::ref_ptr<osg::View> view;
    if (m_view.lock(view) && m_frameHandler.valid()) {
        if (osgViewer::View *events = eventView(view.get()))
            events->removeEventHandler(m_frameHandler.get());
    }
    // Whoever else still holds the handler must not reach a gone compass.
    if (m_frameHandler.valid())
        m_frameHandler->m_compass = nullptr;
}

void Compass::setView(osg::View *view)
{
    if (view == nullptr) {
        removeFromView();
        return;
    }
    if (!m_image.valid() || m_view.valid())
        return;
    m_view = view;
    osg::ref_ptr<geo::ControlCanvas> canvas;
    if (m_canvas.lock(canvas)) {
        canvas->addControl(m_image.get());
        canvas->addControl(m_readout.get());
        canvas->addControl(m_pointer.get());
    }
    if (osgViewer::View *events = eventView(view))
        events->addEventHandler(m_frameHandler.get());
}

void Compass::removeFromView()
{
    osg::ref_ptr<osg::View> view;
    if (!m_image.valid() || !m_view.lock(view))
        return;
    osg::ref_ptr<geo::ControlCanvas> canvas;
    if (m_canvas.lock(canvas)) {
        canvas->removeControl(m_image.get());
        canvas->removeControl(m_readout.get());
        canvas->removeControl(m_pointer.get());
    }
    if (osgViewer::View *events = eventView(view.get()))
        events->removeEventHandler(m_frameHandler.get());
    m_view = nullptr;
}

int Compass::getImageHeight() const
{
    if (!m_image.valid() || m_image->getImage() == nullptr)
        return 0;
    return m_image->getImage()->t();
}

void Compass::updateHeading()
{
    osg::ref_ptr<osg::View> view;
    if (!m_view.lock(view))
        return;
    if (!m_manipulatorView.valid())
        m_manipulatorView = view;

    double heading = currentHeading();
    if (heading < kHeadingTolerance || 360.0 - heading < kHeadingTolerance)
        heading = 0.0;
    if (!m_image.valid())
        return;
    const double rotation = m_image->getRotation().as(geo::Units::DEGREES);
    if (std::fabs(rotation - -heading) < kHeadingTolerance)
        return;
    showHeading(heading);
}

double Compass::currentHeading() const
{
    // Only the globe's own manipulator knows a heading; any other camera
    // counts as facing north.
    osg::ref_ptr<osg::View> view;
    if (!m_manipulatorView.lock(view))
        return 0.0;
    osgViewer::View *events = eventView(view.get());
    auto *manipulator = events ? dynamic_cast<geo::EarthManipulator *>(events->getCameraManipulator())
                               : nullptr;
    if (manipulator == nullptr)
        return 0.0;
    double azimuth = 0.0;
    manipulator->getCompositeEulerAngles(&azimuth);
    const double heading = normalisedDegrees(osg::RadiansToDegrees(azimuth));
    return std::isfinite(heading) ? heading : 0.0;
}

void Compass::showHeading(double heading)
{
    m_image->setRotation(geo::Angle(-heading, geo::Units::DEGREES));

    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << heading;
    if (text.str().empty())
        return;
    if (text.str() != m_readout->text())
        m_readout->setText(text.str());

    if (m_headingCallback)
        m_headingCallback(heading);
}
