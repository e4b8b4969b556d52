// Frames per second of the complete globe scene (globe, controls, compass,
// scale bar, drone with its flight path and trail, camera footprint) at
// 1280x800, with a long flight path and position messages arriving at the
// rate a drone link sends them.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cmath>
#include <cstdio>

#include "GeoviewMapWidget.h"
#include "OsgViewerWidget.h"
#include "common/ShownGlobe.h"

namespace {

constexpr int kPathPoints = 10000;
constexpr int kMessagesPerSecond = 50;
constexpr int kSeconds = 10;

} // namespace

class SceneBench
{
public:
    explicit SceneBench(GeoviewMapWidget &widget) : m_widget(widget) {}

    // A slow spiral out of Shenzhen, so every new point turns the heading.
    void send(int i)
    {
        const double t = i * 0.002;
        const double lon = 114.0 + 0.02 * t * std::cos(t), lat = 22.5 + 0.02 * t * std::sin(t);
        m_widget.autoGoToPosition(0, 5.5, lon + 0.002, lat + 0.002, lon, lat, 300, 0, std::fmod(i * 0.5, 360.0), 0,
                                  60, 0, std::fmod(i * 0.5, 360.0), 0, 0);
    }

    void follow() { m_widget.onControlClicked(ShownGlobe::button(m_widget, "Optivane08_01.png"), osg::Vec2f(), 1); }
    unsigned frameNumber() const { return ShownGlobe::viewer(m_widget)->getFrameStamp()->getFrameNumber(); }
    size_t trailDrawings() const { return ShownGlobe::node(m_widget, "trail")->asGroup()->getNumChildren(); }

private:
    GeoviewMapWidget &m_widget;
};

int main(int argc, char **argv)
{
    ShownGlobe globe;
    QApplication app(argc, argv);
    GeoviewMapWidget widget(nullptr);
    if (!ShownGlobe::show(widget))
        return 1;
    SceneBench bench(widget);

    QElapsedTimer loading;
    loading.start();
    for (int i = 0; i < kPathPoints; ++i)
        bench.send(i);
    std::printf("path of %d points with footprints: %.1f ms\n", kPathPoints, double(loading.elapsed()));
    bench.follow();

    int sent = kPathPoints;
    QTimer messages;
    QObject::connect(&messages, &QTimer::timeout, [&] { bench.send(sent++); });
    messages.start(1000 / kMessagesPerSecond);

    // Let the follow flight settle before counting.
    QTimer::singleShot(2000, [&] {
        const unsigned firstFrame = bench.frameNumber();
        const int firstMessage = sent;
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(kSeconds * 1000, [&, firstFrame, firstMessage, clock] {
            const double seconds = clock.elapsed() / 1000.0;
            std::printf("frames: %u in %.2f s = %.1f fps at 1280x800\n", bench.frameNumber() - firstFrame, seconds,
                        (bench.frameNumber() - firstFrame) / seconds);
            std::printf("position messages: %d in %.2f s = %.1f per second\n", sent - firstMessage, seconds,
                        (sent - firstMessage) / seconds);
            std::printf("trail drawings: %zu\n", bench.trailDrawings());
            app.quit();
        });
    });
    return app.exec();
}
