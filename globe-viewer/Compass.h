#pragma once

#include <osg/Referenced>
#include <osg/View>
#include <osg/observer_ptr>
#include <osg/ref_ptr>
#include <osgGA/GUIEventHandler>

#include <functional>
#include <string>

#include "geo/ControlCanvas.h"
#include "geo/ImageControl.h"
#include "geo/LabelControl.h"

// The compass in the globe's top right corner: a rose that turns with the
// camera's heading, the heading in degrees over it and a fixed red pointer.
// Without its image it has no controls and never shows or updates.
class Compass : public osg::Referenced
{
public:
    using HeadingCallback = std::function<void(double headingDegrees)>;

    // Follows the heading on every frame; never consumes the event.
    class FrameEventHandler : public osgGA::GUIEventHandler
    {
    public:
        explicit FrameEventHandler(Compass *compass) : m_compass(compass) {}

        using osgGA::GUIEventHandler::handle;
        bool handle(const osgGA::GUIEventAdapter &ea, osgGA::GUIActionAdapter &aa,
                    osg::Object *object, osg::NodeVisitor *visitor) override;

    private:
        friend class Compass;
        Compass *m_compass;
    };

    Compass(const std::string &imagePath, geo::ControlCanvas *canvas);

    // Attaches to a view (its canvas shows the controls, its frames update
    // them); a null view detaches.
    void setView(osg::View *view);
    void removeFromView();
    osg::View *getView() const { return m_view.get(); }
    // The view whose camera manipulator gives the heading; the attached view
    // unless set.
    void setManipulatorView(osg::View *view) { m_manipulatorView = view; }
    void setHeadingCallback(HeadingCallback callback) { m_headingCallback = std::move(callback); }
    int getImageHeight() const;

    void updateHeading();

protected:
    ~Compass() override;

private:
    double currentHeading() const;
    void showHeading(double heading);

    osg::observer_ptr<osg::View> m_view;
    osg::observer_ptr<osg::View> m_manipulatorView;
    osg::observer_ptr<geo::ControlCanvas> m_canvas;
    osg::ref_ptr<geo::ImageControl> m_image;
    osg::ref_ptr<geo::LabelControl> m_readout;
    osg::ref_ptr<geo::LabelControl> m_pointer;
    osg::ref_ptr<FrameEventHandler> m_frameHandler;
    HeadingCallback m_headingCallback;
};
