#pragma once

#include <osg/Matrixd>
#include <osg/Referenced>
#include <osg/View>
#include <osg/observer_ptr>
#include <osg/ref_ptr>

#include <string>

#include "geo/Frame.h"
#include "geo/LabelControl.h"
#include "geo/Map.h"
#include "geo/MapNode.h"

// A ground distance and a bar as wide on the screen as that distance,
// measured across the middle of the view. The distance is rounded to a step
// that reads well (1, 2 or 5 of a power of ten, or of feet and miles).
class ScaleBar : public osg::Referenced
{
public:
    enum UnitSystem { METRIC = 0, FEET_MILES = 1, US_SURVEY_FEET_MILES = 2, NAUTICAL_MILES = 3 };

    ScaleBar(geo::MapNode *mapNode, osg::View *view);

    // Measures again, across the view that the frame being made will show
    // (its manipulator's, where it has one); the ground distance per pixel
    // in the current unit, or -1 when nothing could be measured (the label
    // is then blank).
    double update();
    void setVisible(bool visible);

    geo::LabelControl *getLabel() const { return m_label.get(); }
    geo::Frame *getBar() const { return m_bar.get(); }

    // The pixels measured across the view: a fifth of its width, within
    // 10 and 150.
    static double measuringSpan(int viewportWidth);

    static double niceStepMeters(double meters);
    static double niceStepFeet(double feet);
    static double niceStepFraction(double length);

private:
    friend class ScaleBarTest;

    static osg::Matrixd shownViewMatrix(osg::View *view);
    bool groundDistance(osg::View *view, double span, double &meters) const;
    double show(double meters, double span);
    void blank();

    osg::ref_ptr<geo::LabelControl> m_label;
    osg::ref_ptr<geo::Frame> m_bar;
    osg::ref_ptr<geo::MapNode> m_mapNode;
    osg::ref_ptr<geo::Map> m_map;
    osg::observer_ptr<osg::View> m_view;
    int m_viewportWidth;
    int m_viewportHeight;
    double m_perPixel;
    int m_unitSystem;
};
