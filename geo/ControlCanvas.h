#pragma once

#include <osg/Camera>
#include <osg/View>
#include <osg/observer_ptr>

#include <vector>

#include "geo/Control.h"

namespace geo {

// The overlay of one view: an orthographic camera drawn after the scene,
// one unit per pixel of the operator's desktop, on which the controls are
// laid out with the origin at the top-left corner of the view. On a scaled
// desktop that pixel spans several of the viewport's device pixels (see
// pixelRatio), so the controls keep the size the desktop gives everything
// else. It sizes itself to the view's viewport before every frame. Add it
// to the scene graph; it handles the pointer itself and keeps clicks on
// controls from reaching the globe.
class ControlCanvas : public osg::Camera
{
public:
    // The canvas of the view, made on first request.
    static ControlCanvas *getOrCreate(osg::View *view);

    void addControl(Control *control);
    void removeControl(Control *control);
    const std::vector<osg::ref_ptr<Control>> &controls() const { return m_controls; }

    // Device pixels per canvas unit: the user value "devicePixelRatio" of
    // the view's graphics context, where the window that shows it keeps it;
    // 1 without one.
    static double pixelRatio(const osg::View *view);

    // Takes the size of the view's viewport and lays the controls out.
    // Called before every frame; callers outside a frame may call it too.
    void updateLayout();
    const osg::Vec2f &size() const { return m_size; }
    // The topmost visible control under a point of the canvas.
    Control *controlAt(const osg::Vec2f &point) const;

private:
    class EventRouter;
    class LayoutCallback;

    explicit ControlCanvas(osg::View *view);

    osg::observer_ptr<osg::View> m_view;
    std::vector<osg::ref_ptr<Control>> m_controls;
    osg::Vec2f m_size;
    float m_ratio = 1.0f;
};

} // namespace geo
