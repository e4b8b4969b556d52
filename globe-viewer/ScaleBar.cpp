#include "ScaleBar.h"

#include <osg/Camera>
#include <osg/GraphicsContext>
#include <osgViewer/View>

#include <algorithm>
#include <iterator>
#include <sstream>

#include "geo/ControlCanvas.h"
#include "geo/GeoMath.h"
#include "geo/SpatialReference.h"
#include "geo/Terrain.h"

namespace {

struct Step
{
    double bound;
    double step;
};

constexpr double kMile = 5280.0;

// 55000 rather than 75000 in the 50 km row: the bar has always switched to
// 100 km early.
constexpr Step kMeterSteps[] = {
    {3, 1},           {7.5, 5},         {15, 10},         {35, 20},         {75, 50},
    {150, 100},       {350, 200},       {750, 500},       {1500, 1000},     {3500, 2000},
    {7500, 5000},     {15000, 10000},   {35000, 20000},   {55000, 50000},   {150000, 100000},
    {350000, 200000}, {750000, 500000}, {1500000, 1000000},
};
constexpr double kLastMeterStep = 2000000;

constexpr Step kFeetSteps[] = {
    {7.5, 5},
    {15, 10},
    {35, 20},
    {75, 50},
    {150, 100},
    {350, 200},
    {750, 500},
    {1500, 1000},
    {3640, 2000},
    {1.5 * kMile, 1 * kMile},
    {3.5 * kMile, 2 * kMile},
    {7.5 * kMile, 5 * kMile},
    {15 * kMile, 10 * kMile},
    {35 * kMile, 20 * kMile},
    {75 * kMile, 50 * kMile},
    {150 * kMile, 100 * kMile},
    {350 * kMile, 200 * kMile},
    {750 * kMile, 500 * kMile},
    {1500 * kMile, 1000 * kMile},
};
constexpr double kLastFeetStep = 2000 * kMile;

// The 1-2-5 series, written out so that every bound is the decimal it reads.
constexpr Step kFractionSteps[] = {
    {0.0015, 0.001}, {0.0035, 0.002}, {0.0075, 0.005}, {0.015, 0.01}, {0.035, 0.02},
    {0.075, 0.05},   {0.15, 0.1},     {0.35, 0.2},     {0.75, 0.5},   {1.5, 1},
    {3.5, 2},        {7.5, 5},        {15, 10},        {35, 20},      {75, 50},
    {150, 100},      {350, 200},      {750, 500},      {1500, 1000},
};
constexpr double kLastFractionStep = 2000;

template<size_t N>
double niceStep(const Step (&table)[N], double last, double length)
{
    const auto row = std::find_if(std::begin(table), std::end(table),
                                  [length](const Step &s) { return length <= s.bound; });
    return row == std::end(table) ? last : row->step;
}

constexpr double kMetersPerMile = 1609.344;
constexpr double kMetersPerNauticalMile = 1852.0;

std::string withUnit(double value, const char *unit)
{
    std::ostringstream text;
    text << value << unit;
    return text.str();
}

} // namespace

ScaleBar::ScaleBar(geo::MapNode *mapNode, osg::View *view)
    : m_label(new geo::LabelControl("2000km", 16.0f, osg::Vec4f(1, 1, 1, 1)))
    , m_bar(new geo::Frame)
    , m_mapNode(mapNode)
    , m_map(mapNode ? mapNode->getMap() : nullptr)
    , m_view(view)
    , m_viewportWidth(100)
    , m_viewportHeight(100)
    , m_perPixel(0.0)
    , m_unitSystem(METRIC)
{
    m_label->setForeColor(osg::Vec4f(0, 0, 0, 1));
    m_bar->setVertFill(true, 0.0f);
    m_bar->setForeColor(osg::Vec4f(0, 0, 0, 0.8f));
    m_bar->setBackColor(osg::Vec4f(1, 1, 1, 0.5f));
    m_bar->setBorderColor(osg::Vec4f(0, 0, 0, 1));
    m_bar->setBorderWidth(1.0f);
}

void ScaleBar::setVisible(bool visible)
{
    m_label->setVisible(visible);
    m_bar->setVisible(visible);
}

double ScaleBar::measuringSpan(int viewportWidth)
{
    return std::min(std::max(viewportWidth * 0.1 * 2.0, 10.0), 150.0);
}

double ScaleBar::niceStepMeters(double meters)
{
    return niceStep(kMeterSteps, kLastMeterStep, meters);
}

double ScaleBar::niceStepFeet(double feet)
{
    return niceStep(kFeetSteps, kLastFeetStep, feet);
}

double ScaleBar::niceStepFraction(double length)
{
    return niceStep(kFractionSteps, kLastFractionStep, length);
}

double ScaleBar::update()
{
    osg::ref_ptr<osg::View> view;
    if (!m_label.valid() || !m_label->visible() || !m_mapNode.valid()
        || m_mapNode->getTerrain() == nullptr || !m_view.lock(view))
        return -1.0;

    const osg::GraphicsContext *context = view->getCamera()->getGraphicsContext();
    if (context != nullptr && context->getTraits() != nullptr) {
        m_viewportWidth = context->getTraits()->width;
        m_viewportHeight = context->getTraits()->height;
    }

    // The bar is drawn in the canvas' pixels, which a scaled desktop makes
    // larger than the device pixels the ground is measured across.
    const double ratio = geo::ControlCanvas::pixelRatio(view.get());
    const double span = measuringSpan(int(m_viewportWidth / ratio));
    double meters = 0.0;
    if (!groundDistance(view.get(), span * ratio, meters)) {
        blank();
        return -1.0;
    }
    return show(meters, span);
}

osg::Matrixd ScaleBar::shownViewMatrix(osg::View *view)
{
    // The viewer hands the manipulator's matrix to the camera only at the
    // end of the update traversal, after the overlays have been laid out:
    // the camera's own would be the previous frame's.
    auto *events = dynamic_cast<osgViewer::View *>(view);
    if (events != nullptr && events->getCameraManipulator() != nullptr)
        return events->getCameraManipulator()->getInverseMatrix();
    return view->getCamera()->getViewMatrix();
}

bool ScaleBar::groundDistance(osg::View *view, double span, double &meters) const
{
    // Integer halves, as the pixel rows and columns count.
    const float y = float((m_viewportHeight - 1) / 2);
    const double x1 = (m_viewportWidth - 1) / 2 - span / 2.0;
    const osg::Matrixd viewMatrix = shownViewMatrix(view);
    osg::Vec3d world1, world2;
    if (!geo::Terrain::worldUnderPixel(*view->getCamera(), viewMatrix, float(x1), y, world1)
        || !geo::Terrain::worldUnderPixel(*view->getCamera(), viewMatrix, float(x1 + span), y, world2))
        return false;

    const geo::SpatialReference *srs = m_mapNode->getMapSRS();
    if (srs == nullptr)
        return false;
    const double radius = srs->getEllipsoid() ? srs->getEllipsoid()->getRadiusEquator()
                                              : geo::GeoMath::kDefaultRadius;
    if (!m_map->isGeocentric() && srs->isProjected()) {
        meters = geo::GeoMath::distance(world1, world2, srs);
        return true;
    }
    const geo::SpatialReference *geographic = srs->getGeographicSRS();
    osg::Vec3d p1, p2;
    if (!geographic->transformFromWorld(world1, p1) || !geographic->transformFromWorld(world2, p2))
        return false;
    meters = geo::GeoMath::distance(osg::DegreesToRadians(p1.y()), osg::DegreesToRadians(p1.x()),
                                    osg::DegreesToRadians(p2.y()), osg::DegreesToRadians(p2.x()),
                                    radius);
    return true;
}

double ScaleBar::show(double meters, double span)
{
    double length = meters;
    double step = 0.0;
    std::string text;
    switch (m_unitSystem) {
    case FEET_MILES:
    case US_SURVEY_FEET_MILES: {
        const bool survey = m_unitSystem == US_SURVEY_FEET_MILES;
        length = survey ? meters * 3937.0 / 1200.0 : kMile * meters / kMetersPerMile;
        step = niceStepFeet(length);
        text = step >= kMile ? withUnit(step / kMile, survey ? " miUS" : " mi")
                             : withUnit(step, survey ? " ftUS" : " ft");
        break;
    }
    case NAUTICAL_MILES:
        length = meters / kMetersPerNauticalMile;
        step = niceStepFraction(length);
        text = withUnit(step, " nmi");
        break;
    default:
        step = niceStepMeters(meters);
        text = step >= 1000.0 ? withUnit(step / 1000.0, " km") : withUnit(step, " m");
        break;
    }
    m_perPixel = length / span;
    m_label->setText(text);
    m_bar->setWidth(float(step / m_perPixel));
    return m_perPixel;
}

void ScaleBar::blank()
{
    m_label->setText(std::string());
    m_bar->setWidth(0.0f);
}
