#include <QtTest>

#include <QLabel>
#include <QScreen>
#include <QStackedWidget>

#include <cmath>
#include <csignal>

#include "GeodockPage.h"
#include "NQXServer.h"

#include "PixelCount.h"
#include "Xdotool.h"

using pixels::count;
using pixels::cyanish;
using pixels::pinRed;

namespace {

constexpr double kDroneLon = 114.0;
constexpr double kDroneLat = 22.5;
// The target 300 m due north of the drone.
constexpr double kTargetLon = 114.0;
constexpr double kTargetLat = 22.5 + 300.0 / 110752.0;
// The viewer flies to the drone from straight above, 2000 m away, with a
// 30 degree vertical field of view.
constexpr double kFlightRange = 2000.0;

bool light(QRgb p) { return qRed(p) > 180 && qGreen(p) > 180 && qBlue(p) > 180; }
// The flat face of a dialog, which no part of the globe has.
bool dialogFace(QRgb p) { return (p & 0xffffff) == (QGuiApplication::palette().color(QPalette::Window).rgb() & 0xffffff); }

// Distinct colours: a textured globe has many, a flat fill few.
int colours(const QImage &image, const QRect &area)
{
    QSet<QRgb> seen;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); y += 2)
        for (int x = inside.left(); x <= inside.right(); x += 2)
            seen.insert(image.pixel(x, y) & 0xf0f0f0);
    return seen.size();
}

// The viewer this process started: a child named Geoscope.
qint64 viewerProcess()
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + entry + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromLatin1(stat.readAll());
        const int close = line.lastIndexOf(')');
        if (line.mid(line.indexOf('(') + 1, close - line.indexOf('(') - 1) != "Geoscope")
            continue;
        if (line.mid(close + 2).split(' ').value(1) == self)
            return entry.toLongLong();
    }
    return 0;
}

} // namespace

// The host with the real viewer on a virtual display: what a person sees of
// the globe in the host's page, positions through the host moving the
// drone's footprint, and positions from the viewer's dialog reaching the
// host.
class GeoviewEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void globeFillsTheHostsPage();
    void positionsDrawTheFootprintWhereTheTargetIs();
    void typedPositionReachesTheHost();
    void aMinuteOfFlightIsFollowed();
    void openDialogsComeBackWhenAskedAgain_data();
    void openDialogsComeBackWhenAskedAgain();
    void killedViewerIsReplaced();
    void closingTheHostEndsTheViewer();
    void cleanupTestCase();

private:
    QRect area() const { return QRect(m_stack->mapToGlobal(QPoint()), m_stack->size()); }
    // The screen's own pixels, which a scaled desktop multiplies.
    QPoint onScreen(QPoint global) const { return global * m_page->devicePixelRatioF(); }
    QImage page(const QString &name) const;
    void send(double lon, double lat, double targetLon, double targetLat);
    bool clickAt(QPoint global, int button);
    bool moveTo(QPoint global);
    QByteArray dialogWindow() const;
    QPointF metresPerPixel() const;

    GeodockPage *m_page = nullptr;
    QStackedWidget *m_stack = nullptr;
    QLabel *m_loading = nullptr;
    NQXServer *m_server = nullptr;
    QPoint m_targetPixel;
};

void GeoviewEndToEndTest::initTestCase()
{
    QVERIFY(QDir::setCurrent(QCoreApplication::applicationDirPath() + "/var/run/geodock"));
    m_page = new GeodockPage;
    m_stack = m_page->findChild<QStackedWidget *>();
    m_loading = m_page->findChild<QLabel *>();
    m_server = m_page->findChild<NQXServer *>();
    QVERIFY(m_stack && m_loading && m_server);
    // A scaled desktop has fewer of its pixels on the same screen.
    m_page->setGeometry(QRect(0, 0, 1000, 700) & QGuiApplication::primaryScreen()->availableGeometry());
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page));
    QTRY_VERIFY_WITH_TIMEOUT(m_stack->currentWidget() != m_loading, 90000);
}

QImage GeoviewEndToEndTest::page(const QString &name) const
{
    // Taken in the screen's pixels, looked at in the page's: on a scaled
    // desktop everything is checked where an operator's pointer would go.
    const QRect pixels(onScreen(area().topLeft()), area().size() * m_page->devicePixelRatioF());
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(pixels)
                             .scaled(area().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    const QString folder = QStringLiteral(STATION_BIN_DIR "/../test-output");
    QDir().mkpath(folder);
    QString file = folder + "/" + name;
    if (m_page->devicePixelRatioF() > 1)
        file += "-scaled";
    if (qEnvironmentVariableIsSet("STATION_WINDOW_MANAGER"))
        file += "-" + qEnvironmentVariable("STATION_WINDOW_MANAGER");
    image.save(file + ".png");
    return image;
}

void GeoviewEndToEndTest::globeFillsTheHostsPage()
{
    // The globe, its buttons along the top, the compass at the top right and
    // the zoom buttons at the bottom right, once the viewer draws.
    const auto drawn = [this] {
        const QImage image = page("geoview-host-page");
        const QRect centre(image.width() / 2 - 100, image.height() / 2 - 100, 200, 200);
        return colours(image, centre) > 40 && count(image, QRect(20, 10, 290, 40), light) > 200;
    };
    QTRY_VERIFY_WITH_TIMEOUT(drawn(), 30000);
    const QImage image = page("geoview-host-page");
    QCOMPARE(image.size(), area().size());
    // Compass rose (light letters) and scale bar box at the top right.
    QVERIFY(count(image, QRect(image.width() - 130, 0, 130, 130), light) > 100);
    // Zoom buttons at the bottom right.
    QVERIFY(count(image, QRect(image.width() - 80, image.height() - 140, 80, 140), light) > 100);
    // The page's edges are the viewer's dark space, not the host's
    // background showing round a viewer that does not fill the page.
    const QRgb background = m_page->palette().color(QPalette::Window).rgb();
    for (const QPoint corner : {QPoint(1, image.height() / 2), QPoint(image.width() / 2, image.height() - 2),
                                QPoint(image.width() - 2, image.height() / 2)})
        QVERIFY2((image.pixel(corner) & 0xffffff) != (background & 0xffffff),
                 qPrintable(QString("host background at %1,%2").arg(corner.x()).arg(corner.y())));
}

void GeoviewEndToEndTest::send(double lon, double lat, double targetLon, double targetLat)
{
    // Zoom 5.5 opens a 650 m sector.
    m_server->gotoPosition(0, 5.5, targetLon, targetLat, lon, lat, 120, 0, 0, 0, 60, 0, 0, 0, 0);
}

bool GeoviewEndToEndTest::clickAt(QPoint global, int button)
{
    return moveTo(global) && xdotool({"click", QString::number(button)});
}

bool GeoviewEndToEndTest::moveTo(QPoint global)
{
    const QPoint pixel = onScreen(global);
    return xdotool({"mousemove", "--sync", QString::number(pixel.x()), QString::number(pixel.y())});
}

QPointF GeoviewEndToEndTest::metresPerPixel() const
{
    const double viewHeight = 2 * kFlightRange * std::tan(qDegreesToRadians(15.0));
    const double perPixel = viewHeight / area().height();
    return QPointF(perPixel, perPixel);
}

void GeoviewEndToEndTest::positionsDrawTheFootprintWhereTheTargetIs()
{
    QSignalSpy forced(m_server, &NQXServer::forceLocationChanged);
    send(kDroneLon - 0.01, kDroneLat, kTargetLon, kTargetLat);
    // The relocation button: the next position flies the view to the drone.
    QVERIFY(clickAt(area().topLeft() + QPoint(240, 30), 1));
    QVERIFY(forced.wait(10000) || forced.count() == 1);
    send(kDroneLon, kDroneLat, kTargetLon, kTargetLat);

    // The view settles straight above the drone, north up; the target is
    // 300 m above the page's centre.
    const QPoint centre(area().width() / 2, area().height() / 2);
    m_targetPixel = centre - QPoint(0, qRound(300.0 / metresPerPixel().y()));
    const QPoint halfway = centre - QPoint(0, qRound(150.0 / metresPerPixel().y()));
    QImage last;
    const auto settled = [&] {
        const QImage image = page("geoview-footprint");
        const bool same = image == last;
        last = image;
        return same && count(image, QRect(halfway - QPoint(3, 3), QSize(7, 7)), cyanish) == 49;
    };
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 30000);
    // The sector opens north of the drone, not south of it, and the target's
    // pin stands on the target.
    QCOMPARE(count(last, QRect(centre + QPoint(-3, 120), QSize(7, 7)), cyanish), 0);
    QVERIFY(count(last, QRect(m_targetPixel - QPoint(8, 45), QSize(17, 40)), pinRed) > 100);

    // Picking that point in the viewer gives the target's coordinates: the
    // position dialog opens with them, and its button sends them home.
    QSignalSpy received(m_server, &NQXServer::positionReceived);
    QVERIFY(moveTo(area().topLeft() + m_targetPixel + QPoint(0, 1)));
    QVERIFY(clickAt(area().topLeft() + m_targetPixel, 3));
    QByteArray dialog;
    QTRY_VERIFY_WITH_TIMEOUT(!(dialog = dialogWindow()).isEmpty(), 10000);
    QVERIFY(xdotool({"windowfocus", "--sync", QString::fromLatin1(dialog)}));
    QVERIFY(xdotool({"key", "--window", QString::fromLatin1(dialog), "Return"}));
    QVERIFY(received.wait(10000) || !received.isEmpty());
    const QList<QVariant> position = received.first();
    QCOMPARE(position.at(0).toBool(), true);
    const double metres = 2 * metresPerPixel().y();
    QVERIFY2(std::fabs(position.at(1).toDouble() - kTargetLon) * 102800 < metres
                 && std::fabs(position.at(2).toDouble() - kTargetLat) * 110750 < metres,
             qPrintable(QString("picked %1, %2").arg(position.at(1).toDouble(), 0, 'f', 6)
                            .arg(position.at(2).toDouble(), 0, 'f', 6)));
}

QByteArray GeoviewEndToEndTest::dialogWindow() const
{
    QByteArray ids;
    if (!xdotool({"search", "--onlyvisible", "--pid", QString::number(viewerProcess())}, &ids))
        return QByteArray();
    for (const QByteArray &id : ids.split('\n')) {
        QByteArray geometry;
        if (id.isEmpty() || !xdotool({"getwindowgeometry", "--shell", QString::fromLatin1(id)}, &geometry))
            continue;
        const int width = QRegularExpression("WIDTH=(\\d+)").match(QString::fromLatin1(geometry)).captured(1).toInt();
        if (width > 0 && width < onScreen(QPoint(area().width() / 2, 0)).x())
            return id.trimmed();
    }
    return QByteArray();
}

void GeoviewEndToEndTest::typedPositionReachesTheHost()
{
    QSignalSpy received(m_server, &NQXServer::positionReceived);
    const QByteArray dialog = dialogWindow();
    QVERIFY(!dialog.isEmpty());
    QVERIFY(xdotool({"windowfocus", "--sync", QString::fromLatin1(dialog)}));
    // The dialog opened with the longitude field in focus, and Return on
    // the default button left it there; the latitude field is next.
    QVERIFY(xdotool({"key", "--window", QString::fromLatin1(dialog), "ctrl+a"}));
    QVERIFY(xdotool({"type", "--window", QString::fromLatin1(dialog), "116.25"}));
    QVERIFY(xdotool({"key", "--window", QString::fromLatin1(dialog), "Tab", "ctrl+a"}));
    QVERIFY(xdotool({"type", "--window", QString::fromLatin1(dialog), "39.5"}));
    QVERIFY(xdotool({"key", "--window", QString::fromLatin1(dialog), "Return"}));
    QVERIFY(received.wait(10000) || !received.isEmpty());
    // The button's second press stops the continuous sending.
    QCOMPARE(received.first().at(0).toBool(), false);
    QCOMPARE(received.first().at(1).toDouble(), 116.25);
    QCOMPARE(received.first().at(2).toDouble(), 39.5);
}

// Ten messages a second for a minute, the drone flying east at 5 m/s with
// its target 300 m north of it: the footprint leaves where the flight
// started and stands over where it ended, and the viewer lives through it.
void GeoviewEndToEndTest::aMinuteOfFlightIsFollowed()
{
    const QByteArray dialog = dialogWindow();
    if (!dialog.isEmpty())
        QVERIFY(xdotool({"key", "--window", QString::fromLatin1(dialog), "Escape"}));
    QTRY_VERIFY_WITH_TIMEOUT(dialogWindow().isEmpty(), 10000);
    // The view went to the typed position; relocating brings it back to the
    // drone with the flight's first message.
    QSignalSpy forced(m_server, &NQXServer::forceLocationChanged);
    QVERIFY(clickAt(area().topLeft() + QPoint(240, 30), 1));
    QVERIFY(forced.wait(10000) || forced.count() == 1);

    const qint64 viewer = viewerProcess();
    constexpr int messages = 600;
    constexpr double metresPerMessage = 0.5;
    constexpr double metresPerDegreeLon = 102800.0;
    int sent = 0;
    QTimer driver;
    driver.setInterval(100);
    connect(&driver, &QTimer::timeout, this, [&] {
        const double lon = kDroneLon + sent * metresPerMessage / metresPerDegreeLon;
        send(lon, kDroneLat, lon, kTargetLat);
        if (++sent == messages)
            driver.stop();
    });
    driver.start();
    QTRY_COMPARE_WITH_TIMEOUT(sent, messages, 2 * 60000);

    const QPoint centre(area().width() / 2, area().height() / 2);
    const int east = qRound((messages - 1) * metresPerMessage / metresPerPixel().x());
    const QPoint startHalfway = centre - QPoint(0, qRound(150.0 / metresPerPixel().y()));
    const QPoint endHalfway = startHalfway + QPoint(east, 0);
    const auto followed = [&] {
        const QImage image = page("geoview-flight-end");
        return count(image, QRect(endHalfway - QPoint(3, 3), QSize(7, 7)), cyanish) == 49
               && count(image, QRect(startHalfway - QPoint(3, 3), QSize(7, 7)), cyanish) == 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(followed(), 30000);
    QCOMPARE(viewerProcess(), viewer);
}

void GeoviewEndToEndTest::openDialogsComeBackWhenAskedAgain_data()
{
    // Where on the page the operator asks for the dialog, with which button.
    QTest::addColumn<QPoint>("opener");
    QTest::addColumn<int>("button");
    QTest::newRow("position dialog") << QPoint(300, 300) << 3;
    QTest::newRow("offset dialog") << QPoint(90, 30) << 1;
}

// A click into the globe lets the window manager raise the host over an open
// dialog; asking for the dialog again brings it back on top, with the
// keyboard.
void GeoviewEndToEndTest::openDialogsComeBackWhenAskedAgain()
{
    if (!qEnvironmentVariableIsSet("STATION_WINDOW_MANAGER"))
        QSKIP("only a window manager raises the host over the viewer's dialogs");
    QFETCH(QPoint, opener);
    QFETCH(int, button);
    const auto dialogShows = [this] {
        const QImage image = page("geoview-dialog");
        return count(image, image.rect(), dialogFace) > 10000;
    };
    QByteArray dialog;
    const auto dialogHasTheKeyboard = [&] {
        QByteArray active;
        return xdotool({"getactivewindow"}, &active) && active.trimmed() == dialog;
    };

    QVERIFY(clickAt(area().topLeft() + opener, button));
    QTRY_VERIFY_WITH_TIMEOUT(!(dialog = dialogWindow()).isEmpty(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(dialogShows(), 10000);
    QVERIFY(clickAt(area().topLeft() + QPoint(100, area().height() - 150), 1));
    QTRY_VERIFY_WITH_TIMEOUT(!dialogShows(), 10000);

    QVERIFY(clickAt(area().topLeft() + opener, button));
    QTRY_VERIFY_WITH_TIMEOUT(dialogShows() && dialogHasTheKeyboard(), 10000);
    QVERIFY(xdotool({"key", "--window", QString::fromLatin1(dialog), "Escape"}));
    QTRY_VERIFY_WITH_TIMEOUT(dialogWindow().isEmpty(), 10000);
}

// A viewer that dies is replaced: the page shows its loading animation
// again, starts a new viewer and embeds it.
void GeoviewEndToEndTest::killedViewerIsReplaced()
{
    const qint64 viewer = viewerProcess();
    QVERIFY(viewer > 0);
    QCOMPARE(::kill(pid_t(viewer), SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_stack->currentWidget() == m_loading, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(viewerProcess() > 0 && viewerProcess() != viewer, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(m_stack->currentWidget() != m_loading, 90000);
}

void GeoviewEndToEndTest::closingTheHostEndsTheViewer()
{
    const qint64 viewer = viewerProcess();
    QVERIFY(viewer > 0);
    delete m_page;
    m_page = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(viewer)), 5000);
}

void GeoviewEndToEndTest::cleanupTestCase()
{
    delete m_page;
}

QTEST_MAIN(GeoviewEndToEndTest)
#include "tst_geoviewendtoend.moc"
