// Prints the time the globe takes for one drone position message once the
// flight path already holds 1,000, 10,000 and 36,000 points (36,000 is ten
// hours of one message a second).

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cmath>

#include "GeoviewMapState.h"
#include "GeoviewMapWidget.h"

class FlightPathBench
{
public:
    explicit FlightPathBench(GeoviewMapWidget *widget) : m_widget(widget)
    {
        m_widget->syncLoadEarthFile(STATION_BIN_DIR "/data/arcgis.earth");
        m_widget->setupModelTransform();
    }

    // Mean milliseconds per message over `messages` messages that follow
    // `points` points already received.
    double millisecondsPerMessage(int points, int messages)
    {
        osg::Vec4Array *route = GeoviewMapState::routePoints();
        route->clear();
        for (int i = 0; i < points; ++i)
            route->push_back(pointAt(i));
        route->dirty();
        m_widget->m_modelPath = m_widget->createAirLinePath(route);
        // The first message after the list was filled at once walks it
        // whole; in a flight the list fills one message at a time.
        message(points++);

        QElapsedTimer timer;
        timer.start();
        for (int i = points; i < points + messages; ++i)
            message(i);
        return timer.nsecsElapsed() / 1e6 / messages;
    }

private:
    void message(int i)
    {
        const osg::Vec4f p = pointAt(i);
        m_widget->autoGoToPosition(0, 0, 0, 0, p.x(), p.y(), p.z(), 0, 0, 0, 0, 0,
                                   std::fmod(i * 0.7, 360.0), 0, 0);
    }

    // A drone circling over the bay at about 10 m/s, one point a second.
    static osg::Vec4f pointAt(int i)
    {
        const double angle = i * 0.01;
        return osg::Vec4f(float(113.9 + 0.009 * std::cos(angle)), float(22.5 + 0.009 * std::sin(angle)),
                          float(120.0 + 10.0 * std::sin(angle * 3)), 50.0f);
    }

    GeoviewMapWidget *m_widget;
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    GeoviewMapWidget widget(nullptr);
    FlightPathBench bench(&widget);

    QTextStream out(stdout);
    out << "points    ms per position message\n";
    for (int points : {1000, 10000, 36000}) {
        const double ms = bench.millisecondsPerMessage(points, 50);
        out << QString("%1    %2\n").arg(points, 6).arg(ms, 0, 'f', 4);
    }
    return 0;
}
