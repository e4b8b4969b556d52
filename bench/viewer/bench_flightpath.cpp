// Prints the time the globe takes for one drone position message once the
// flight path already holds 1,000, 10,000 and 36,000 points (36,000 is ten
// hours of one message a second).

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cmath>

#include "GeoviewMapState.h"
#include "GeoviewMapWidget.h"
#include "common/ShownGlobe.h"

class FlightPathBench
{
public:
    // Mean milliseconds per message over `messages` messages that follow
    // `points` points already received, on a globe whose scene was built
    // with them; negative when the globe never came up.
    static double millisecondsPerMessage(int points, int messages)
    {
        osg::Vec4Array *route = GeoviewMapState::routePoints();
        route->clear();
        for (int i = 0; i < points; ++i)
            route->push_back(pointAt(i));
        route->dirty();
        GeoviewMapWidget widget(nullptr);
        if (!ShownGlobe::show(widget))
            return -1.0;
        // The first message after the list was filled at once walks it
        // whole; in a flight the list fills one message at a time.
        message(widget, points++);

        QElapsedTimer timer;
        timer.start();
        for (int i = points; i < points + messages; ++i)
            message(widget, i);
        return timer.nsecsElapsed() / 1e6 / messages;
    }

private:
    static void message(GeoviewMapWidget &widget, int i)
    {
        const osg::Vec4f p = pointAt(i);
        widget.autoGoToPosition(0, 0, 0, 0, p.x(), p.y(), p.z(), 0, 0, 0, 0, 0, std::fmod(i * 0.7, 360.0), 0, 0);
    }

    // A drone circling over the bay at about 10 m/s, one point a second.
    static osg::Vec4f pointAt(int i)
    {
        const double angle = i * 0.01;
        return osg::Vec4f(float(113.9 + 0.009 * std::cos(angle)), float(22.5 + 0.009 * std::sin(angle)),
                          float(120.0 + 10.0 * std::sin(angle * 3)), 50.0f);
    }
};

int main(int argc, char **argv)
{
    ShownGlobe globe;
    QApplication app(argc, argv);

    QTextStream out(stdout);
    out << "points    ms per position message\n";
    for (int points : {1000, 10000, 36000}) {
        const double ms = FlightPathBench::millisecondsPerMessage(points, 50);
        if (ms < 0.0)
            return 1;
        out << QString("%1    %2\n").arg(points, 6).arg(ms, 0, 'f', 4);
    }
    return 0;
}
