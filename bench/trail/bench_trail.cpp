// The follow trail over an hour's flight at 60 frames a second: the drone
// flies a square circuit out of Shenzhen at the flight path's 50 m/s, two
// minutes along each side and ten seconds through each turn, and sends ten
// positions a second. The hour is simulated: the drone's holder and its
// trail are updated frame by frame on a simulated clock, and the complete
// scene at 1280x800, following the drone, is drawn at the start and at the
// end to measure the frame's cull and draw time.

#include <QApplication>
#include <QElapsedTimer>

#include <osg/Stats>
#include <osgUtil/UpdateVisitor>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "GeoviewMapWidget.h"
#include "OsgViewerWidget.h"
#include "common/ShownGlobe.h"

namespace {

constexpr int kFramesPerSecond = 60;
constexpr int kFramesPerMessage = 6;
constexpr double kSpeed = 50.0;
constexpr double kSide = 6000.0;
constexpr double kTurnSeconds = 10.0;
constexpr int kMeasuredFrames = 120;
// Only the benchmark's own clock moves the holder, never the viewer's.
constexpr unsigned int kViewerUpdates = 0x1;

struct Figures
{
    size_t nodes = 0;
    size_t segments = 0;
    double cullMs = 0.0;
    double drawMs = 0.0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

size_t nodesUnder(const osg::Group *group)
{
    size_t nodes = 0;
    for (unsigned i = 0; i < group->getNumChildren(); ++i) {
        const osg::Node *child = group->getChild(i);
        nodes += 1 + (child->asGroup() ? nodesUnder(child->asGroup()) : 0);
    }
    return nodes;
}

// Position and heading after `metres` along the circuit: east, north, west
// and south sides joined by quarter circles, in metres east and north of
// the start.
void onCircuit(double metres, double &east, double &north, double &heading)
{
    const double turn = kSpeed * kTurnSeconds, radius = turn / (osg::PI / 2);
    const double lap = 4 * (kSide + turn);
    double along = std::fmod(metres, lap);
    double x = 0.0, y = 0.0;
    for (int side = 0; side < 4; ++side) {
        const double direction = side * osg::PI / 2; // 0 east, counter-clockwise
        const osg::Vec2d forward(std::cos(direction), std::sin(direction)), left(-forward.y(), forward.x());
        if (along <= kSide) {
            east = x + forward.x() * along;
            north = y + forward.y() * along;
            heading = 90.0 - osg::RadiansToDegrees(direction);
            return;
        }
        x += forward.x() * kSide;
        y += forward.y() * kSide;
        along -= kSide;
        const double angle = std::min(along, turn) / radius;
        const osg::Vec2d centre = osg::Vec2d(x, y) + left * radius;
        const osg::Vec2d at = centre - left * radius * std::cos(angle) + forward * radius * std::sin(angle);
        if (along <= turn) {
            east = at.x();
            north = at.y();
            heading = 90.0 - osg::RadiansToDegrees(direction + angle);
            return;
        }
        x = at.x();
        y = at.y();
        along -= turn;
    }
    east = x;
    north = y;
    heading = 90.0;
}

} // namespace

class TrailBench
{
public:
    explicit TrailBench(GeoviewMapWidget &widget)
        : m_widget(widget)
        , m_camera(ShownGlobe::viewer(widget)->getCamera())
        , m_drone(ShownGlobe::node(widget, "drone"))
    {
        ShownGlobe::viewer(m_widget)->getUpdateVisitor()->setTraversalMask(kViewerUpdates);
        m_drone->setNodeMask(~kViewerUpdates);
        m_camera->getStats()->collectStats("rendering", true);
        m_update.setFrameStamp(m_clock.get());
    }

    void follow() { m_widget.onControlClicked(ShownGlobe::button(m_widget, "Optivane08_01.png"), osg::Vec2f(), 1); }

    // One simulated frame: a position every few frames, then the holder's
    // update on the simulated clock.
    void fly()
    {
        if (m_frame % kFramesPerMessage == 0) {
            double east = 0.0, north = 0.0, heading = 0.0;
            onCircuit(kSpeed * m_frame / kFramesPerSecond, east, north, heading);
            const double lat = 22.5 + north / 110574.0;
            const double lon = 114.0 + east / (111320.0 * std::cos(osg::DegreesToRadians(22.5)));
            m_widget.autoGoToPosition(0, 0, 0, 0, lon, lat, 300, 0, 0, 0, 0, 0, heading, 0, 0);
        }
        m_clock->setFrameNumber(m_frame);
        m_clock->setSimulationTime(double(m_frame) / kFramesPerSecond);
        m_drone->accept(m_update);
        ++m_frame;
    }

    Figures measure()
    {
        OsgViewerWidget *gl = m_widget.findChild<OsgViewerWidget *>();
        auto *manipulator = static_cast<geo::EarthManipulator *>(ShownGlobe::viewer(m_widget)->getCameraManipulator());
        // The follow camera settles on the drone first.
        for (int i = 0; i < 30 || manipulator->isSettingViewpoint(); ++i)
            gl->grabFramebuffer();
        std::vector<double> cull, draw;
        for (int i = 0; i < kMeasuredFrames; ++i) {
            gl->grabFramebuffer();
            osg::Stats *stats = m_camera->getStats();
            double value = 0.0;
            if (stats->getAttribute(stats->getLatestFrameNumber(), "Cull traversal time taken", value))
                cull.push_back(value * 1000.0);
            if (stats->getAttribute(stats->getLatestFrameNumber(), "Draw traversal time taken", value))
                draw.push_back(value * 1000.0);
        }
        Figures figures;
        figures.nodes = nodesUnder(trail());
        figures.segments = segments();
        figures.cullMs = median(cull);
        figures.drawMs = median(draw);
        return figures;
    }

    int frame() const { return m_frame; }

private:
    const osg::Group *trail() const { return ShownGlobe::node(m_widget, "trail")->asGroup(); }

    size_t segments() const
    {
        size_t vertices = 0;
        const osg::Group *track = trail();
        for (unsigned i = 0; i < track->getNumChildren(); ++i) {
            const osg::Group *origin = track->getChild(i)->asGroup();
            const osg::Geode *geode = origin ? origin->getChild(0)->asGeode() : track->getChild(i)->asGeode();
            vertices += geode->getDrawable(0)->asGeometry()->getVertexArray()->getNumElements();
        }
        return vertices / 2;
    }

    GeoviewMapWidget &m_widget;
    osg::Camera *m_camera;
    // Replays the flight path; the drawn model hangs under it.
    osg::Node *m_drone;
    osg::ref_ptr<osg::FrameStamp> m_clock = new osg::FrameStamp;
    osgUtil::UpdateVisitor m_update;
    int m_frame = 0;
};

int main(int argc, char **argv)
{
    ShownGlobe globe;
    QApplication app(argc, argv);
    GeoviewMapWidget widget(nullptr);
    if (!ShownGlobe::show(widget))
        return 1;
    TrailBench bench(widget);
    bench.follow();

    const auto report = [](const char *when, const Figures &f) {
        std::printf("%-34s %6zu trail nodes, %5zu segments, cull %.2f ms, draw %.2f ms per frame\n", when, f.nodes,
                    f.segments, f.cullMs, f.drawMs);
        std::fflush(stdout);
    };
    while (bench.frame() < 10 * kFramesPerSecond)
        bench.fly();
    const Figures start = bench.measure();
    report("start (10 s of flight)", start);

    QElapsedTimer clock;
    clock.start();
    while (bench.frame() < 3600 * kFramesPerSecond)
        bench.fly();
    const double simulated = clock.elapsed() / 1000.0;
    const Figures end = bench.measure();
    report("end (an hour, 216,000 frames)", end);
    std::printf("cull and draw at the end: %.2fx the start (hour simulated in %.1f s)\n",
                (end.cullMs + end.drawMs) / (start.cullMs + start.drawMs), simulated);
    return 0;
}
