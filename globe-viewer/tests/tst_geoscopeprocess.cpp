#include <QtTest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "StandInHost.h"
#include "Xdotool.h"

namespace {

const QString viewer = QStringLiteral(STATION_BIN_DIR "/Geoscope");

// The token the host writes: Base64 of its indented JSON.
QString tokenFor(const QJsonObject &object)
{
    return QString::fromLatin1(QJsonDocument(object).toJson().toBase64());
}

QString tokenForHost(qint64 processId)
{
    return tokenFor({{"ServerProcessId", QString::number(processId)},
                     {"ServerLinkName", "{host}"},
                     {"ClientLinkName", "{host}_Client"}});
}

// Time for what a viewer does at once, such as taking its place: frames
// of an instrumented build take seconds.
constexpr int kAtOnceMs = 10000 * STATION_TEST_TIMEOUT_SCALE;

QRect windowGeometry(const QString &window)
{
    QByteArray shell;
    if (!xdotool({"getwindowgeometry", "--shell", window}, &shell))
        return QRect();
    const auto value = [&shell](const char *name) {
        return QRegularExpression(QString("%1=(-?\\d+)").arg(name)).match(QString::fromLatin1(shell)).captured(1).toInt();
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

const QRect kViewerPlace(0, 0, 800, 600);

} // namespace

// The viewer program as the host starts it, and as anybody else might.
class GeoscopeProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void markerMode_data();
    void markerMode();
    void markerWithoutItsFolder();
    void viewerEndsWithoutItsHost_data();
    void viewerEndsWithoutItsHost();
    void viewerEndsWithItsHost();
    void missingTokenEndsBeforeTheWindow();
    void showIsBoundedByTheDesktop_data();
    void showIsBoundedByTheDesktop();
    void typedPositionsReachTheHostOnlyOnTheGlobe_data();
    void typedPositionsReachTheHostOnlyOnTheGlobe();
    void cleanupTestCase();

private:
    // Runs the viewer with its own data and temporary folders; a hosted
    // viewer shares the temporary and runtime folders, where the link
    // meets, with its host.
    void startViewer(QProcess &process, const QStringList &arguments, bool display = true, bool hosted = false,
                     const QString &locale = QString());
    // The viewer run by the stand-in host, placed at kViewerPlace; started
    // again when it ended or when it should have a map and has none, or
    // the other way round, or run in another locale.
    bool hostedViewer(bool withMap, const QString &locale = QStringLiteral("C"));
    void endHostedViewer();
    bool place(const QString &position, const QRect &expected);
    bool press(const QStringList &keys);
    QString positionDialog();

    std::unique_ptr<StandInHost> m_host;
    QProcess m_hosted;
    bool m_hostedHasMap = false;
    QString m_hostedLocale;
    QString m_hostedWindow;
    // The field of the position dialog with the keyboard's focus: Lon,
    // Lat, Alt from 0.
    int m_focusedField = 0;

    QTemporaryDir m_dataHome;
    QTemporaryDir m_tmp;
    QTemporaryDir m_runtime;
};

void GeoscopeProcessTest::init()
{
    QVERIFY(m_dataHome.isValid());
    QVERIFY(m_tmp.isValid());
    QDir(m_dataHome.path()).removeRecursively();
    QDir(m_tmp.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dataHome.path()));
    QVERIFY(QDir().mkpath(m_tmp.path()));
}

void GeoscopeProcessTest::startViewer(QProcess &process, const QStringList &arguments, bool display, bool hosted,
                                      const QString &locale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!locale.isEmpty())
        environment.insert("LC_ALL", locale);
    if (!display)
        environment.remove("DISPLAY");
    environment.insert("XDG_DATA_HOME", m_dataHome.path());
    if (!hosted) {
        environment.insert("TMPDIR", m_tmp.path());
        // Qt would otherwise make its runtime folder inside TMPDIR.
        environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
    }
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(viewer, arguments);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

void GeoscopeProcessTest::markerMode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display");
    QTest::newRow("no arguments") << QStringList{} << true;
    QTest::newRow("lower case") << QStringList{"-geoframe", tokenForHost(1)} << true;
    QTest::newRow("upper case") << QStringList{"-GEOFRAME", tokenForHost(1)} << true;
    QTest::newRow("longer argument") << QStringList{"-Geoframe2", tokenForHost(1)} << true;
    QTest::newRow("inside another") << QStringList{"x", "--Geoframe"} << true;
    QTest::newRow("no display") << QStringList{} << false;
}

void GeoscopeProcessTest::markerMode()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QVERIFY(QDir(m_dataHome.path()).mkpath("Geoview"));

    QProcess process;
    startViewer(process, arguments, display);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    QFile marker(m_dataHome.path() + "/Geoview/Geoview.earth-Geoframe.txt");
    QVERIFY(marker.open(QIODevice::ReadOnly));
    QCOMPARE(marker.readAll(), QByteArray("xx"));
    // No messaging node was started: it would have left its server socket
    // and the center's lock file in the temporary folder.
    QCOMPARE(QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList());
}

void GeoscopeProcessTest::markerWithoutItsFolder()
{
    QProcess process;
    startViewer(process, {});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFile::exists(m_dataHome.path() + "/Geoview/Geoview.earth-Geoframe.txt"));
}

void GeoscopeProcessTest::viewerEndsWithoutItsHost_data()
{
    // Qt forgets a process's id once it has seen it end, so it is read
    // while the process still waits for its input.
    QProcess ended;
    ended.start("cat", QStringList());
    QVERIFY(ended.waitForStarted());
    const qint64 endedHost = ended.processId();
    ended.closeWriteChannel();
    QVERIFY(ended.waitForFinished());
    QVERIFY(endedHost > 0);

    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("not Base64 JSON") << QStringList{"-Geoframe", "abc"};
    QTest::newRow("no process id") << QStringList{"-Geoframe", tokenFor({{"ServerLinkName", "{h}"}})};
    QTest::newRow("process id as number")
        << QStringList{"-Geoframe", tokenFor({{"ServerProcessId", double(QCoreApplication::applicationPid())}})};
    QTest::newRow("process id 0") << QStringList{"-Geoframe", tokenForHost(0)};
    QTest::newRow("host already ended") << QStringList{"-Geoframe", tokenForHost(endedHost)};
    QTest::newRow("flag after the token")
        << QStringList{tokenForHost(QCoreApplication::applicationPid()), "-Geoframe"};
}

void GeoscopeProcessTest::viewerEndsWithoutItsHost()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    startViewer(process, arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 255);
}

void GeoscopeProcessTest::viewerEndsWithItsHost()
{
    // Any process will do as the host: the viewer only watches it.
    QProcess host;
    host.start("cat", QStringList());
    QVERIFY(host.waitForStarted());

    QProcess process;
    startViewer(process, {"-Geoframe", tokenForHost(host.processId())});
    QVERIFY2(!process.waitForFinished(2000), "the viewer ended while its host still ran");

    host.closeWriteChannel();
    QVERIFY(host.waitForFinished());
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 255);
}

void GeoscopeProcessTest::missingTokenEndsBeforeTheWindow()
{
    QProcess process;
    startViewer(process, {"-Geoframe"});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains("launch token is missing"));
}

bool GeoscopeProcessTest::hostedViewer(bool withMap, const QString &locale)
{
    if (m_hosted.state() == QProcess::Running && m_hostedHasMap == withMap && m_hostedLocale == locale)
        return true;
    endHostedViewer();
    // The earth file the viewer loads is its copy in the data folder; a
    // copy without a map stands for any earth file that fails to load.
    const QString earthCopy = m_dataHome.path() + "/Geotiles/Geoview.earth";
    QFile::remove(earthCopy);
    if (!withMap) {
        QDir().mkpath(QFileInfo(earthCopy).path());
        QFile copy(earthCopy);
        if (!copy.open(QIODevice::WriteOnly) || copy.write("not an earth file") < 0)
            return false;
    }
    m_host.reset(new StandInHost);
    if (!m_host->started())
        return false;
    startViewer(m_hosted, {"-Geoframe", tokenFor(m_host->token())}, true, true, locale);
    // The viewer answers the host's announcement with its window.
    const QJsonObject handle = m_host->waitForMessage(60000 * STATION_TEST_TIMEOUT_SCALE);
    m_hostedWindow = handle.value("windowHandle").toString();
    m_hostedHasMap = withMap;
    m_hostedLocale = locale;
    m_focusedField = 0;
    return !m_hostedWindow.isEmpty() && place("0|0|800|600", kViewerPlace);
}

void GeoscopeProcessTest::endHostedViewer()
{
    // Without its host the viewer ends.
    m_host.reset();
    if (m_hosted.state() != QProcess::NotRunning && !m_hosted.waitForFinished(30000))
        m_hosted.kill();
    m_hosted.waitForFinished();
}

void GeoscopeProcessTest::cleanupTestCase()
{
    endHostedViewer();
}

// Sends "show" and waits for the viewer's window to take its place.
bool GeoscopeProcessTest::place(const QString &position, const QRect &expected)
{
    m_host->send({{"type", "show"}, {"title", "Optivane"}, {"position", position}});
    QDeadlineTimer deadline(kAtOnceMs);
    while (windowGeometry(m_hostedWindow) != expected) {
        if (deadline.hasExpired() || m_hosted.state() != QProcess::Running)
            return false;
        QTest::qWait(50);
    }
    return true;
}

void GeoscopeProcessTest::showIsBoundedByTheDesktop_data()
{
    QTest::addColumn<QString>("position");
    QTest::newRow("the largest window X makes") << "0|0|32767|32767";
    QTest::newRow("larger than the desktop") << "0|0|40000|30000";
}

// A window the screen cannot hold is refused with a log line, and the next
// place the host gives is taken at once.
void GeoscopeProcessTest::showIsBoundedByTheDesktop()
{
    QFETCH(QString, position);
    QVERIFY(hostedViewer(true));
    m_hosted.readAllStandardError();
    m_host->send({{"type", "show"}, {"title", "Optivane"}, {"position", position}});
    // Refused, or taken (as far as X takes it) and drawn before the next
    // place comes.
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += m_hosted.readAllStandardError()).contains("show refused")
                                 || windowGeometry(m_hostedWindow) != kViewerPlace,
                             kAtOnceMs);
    if (!place("10|20|640|480", QRect(10, 20, 640, 480))) {
        const QRect at = windowGeometry(m_hostedWindow);
        QFAIL(qPrintable(QString("after %1 the viewer is %2 at %3, %4 of %5 by %6")
                             .arg(position, m_hosted.state() == QProcess::Running ? "running" : "gone")
                             .arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height())));
    }
    QVERIFY2(log.contains("show refused"), log.constData());
    QVERIFY(place("0|0|800|600", kViewerPlace));
}

bool GeoscopeProcessTest::press(const QStringList &keys)
{
    const QString dialog = positionDialog();
    return !dialog.isEmpty() && xdotool(QStringList{"key", "--window", dialog} + keys);
}

// The position dialog, opened with a right click on the globe when it is
// not open yet: the viewer's other visible window.
QString GeoscopeProcessTest::positionDialog()
{
    const auto find = [this] {
        QByteArray ids;
        xdotool({"search", "--onlyvisible", "--pid", QString::number(m_hosted.processId())}, &ids);
        for (const QByteArray &id : ids.split('\n')) {
            if (!id.isEmpty() && id != m_hostedWindow && windowGeometry(id).width() < kViewerPlace.width() / 2)
                return QString::fromLatin1(id);
        }
        return QString();
    };
    QString dialog = find();
    if (!dialog.isEmpty())
        return dialog;
    const QPoint centre = kViewerPlace.center();
    xdotool({"mousemove", "--sync", QString::number(centre.x()), QString::number(centre.y()), "click", "3"});
    QDeadlineTimer deadline(kAtOnceMs);
    while ((dialog = find()).isEmpty() && !deadline.hasExpired())
        QTest::qWait(50);
    if (!dialog.isEmpty())
        xdotool({"windowfocus", "--sync", dialog});
    return dialog;
}

void GeoscopeProcessTest::typedPositionsReachTheHostOnlyOnTheGlobe_data()
{
    QTest::addColumn<bool>("map");
    // The viewer's locale, which decides how it writes and reads numbers.
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("typed");
    // The field refused, Lon, Lat or Alt from 0, and what the operator
    // types there instead; -1 when none is.
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("corrected");
    QTest::addColumn<QVariantList>("received");

    QTest::newRow("on the globe") << true << "C" << QStringList{"116.25", "39.5", "30"} << -1 << QString()
                                  << QVariantList{116.25, 39.5, 30.0};
    QTest::newRow("latitude beyond the pole") << true << "C" << QStringList{"10", "95", "30"} << 1 << "85"
                                              << QVariantList{10.0, 85.0, 30.0};
    QTest::newRow("longitude past 180 west") << true << "C" << QStringList{"-180.5", "20", "30"} << 0 << "-179.5"
                                             << QVariantList{-179.5, 20.0, 30.0};
    QTest::newRow("longitude too large for a double") << true << "C" << QStringList{"1e999", "20", "30"} << 0
                                                      << "100" << QVariantList{100.0, 20.0, 30.0};
    QTest::newRow("altitude too large for a double") << true << "C" << QStringList{"100", "20", "1e999"} << 2
                                                     << "300" << QVariantList{100.0, 20.0, 300.0};
    QTest::newRow("altitude above 100 km") << true << "C" << QStringList{"100", "20", "150000"} << 2 << "3000"
                                           << QVariantList{100.0, 20.0, 3000.0};
    QTest::newRow("decimal comma in the C locale") << true << "C" << QStringList{"113,5", "22.25", "30"} << 0
                                                   << "113.5" << QVariantList{113.5, 22.25, 30.0};
    QTest::newRow("decimal comma in a German locale")
        << true << "de_DE.UTF-8" << QStringList{"113,5", "22,25", "30"} << -1 << QString()
        << QVariantList{113.5, 22.25, 30.0};
    QTest::newRow("without a map") << false << "C" << QStringList{"116.25", "39.5", "30"} << -1 << QString()
                                   << QVariantList{116.25, 39.5, 30.0};
}

// What the operator types in the position dialog reaches the host, map or
// no map; a position off the globe does not, and the field that holds it
// takes the correction.
void GeoscopeProcessTest::typedPositionsReachTheHostOnlyOnTheGlobe()
{
    QFETCH(bool, map);
    QFETCH(QString, locale);
    QFETCH(QStringList, typed);
    QFETCH(int, refused);
    QFETCH(QString, corrected);
    QFETCH(QVariantList, received);
    QVERIFY(hostedViewer(map, locale));
    QVERIFY(!positionDialog().isEmpty());

    for (; m_focusedField > 0; --m_focusedField)
        QVERIFY(press({"shift+Tab"}));
    for (int field = 0; field < 3; ++field) {
        QVERIFY(press(field == 0 ? QStringList{"ctrl+a"} : QStringList{"Tab", "ctrl+a"}));
        QVERIFY(xdotool({"type", "--window", positionDialog(), "--", typed[field]}));
    }
    m_focusedField = 2;
    QVERIFY(press({"Return"}));
    if (refused >= 0) {
        QVERIFY(press({"ctrl+a"}));
        QVERIFY(xdotool({"type", "--window", positionDialog(), "--", corrected}));
        QVERIFY(press({"Return"}));
        m_focusedField = refused;
    }

    const QJsonObject message = m_host->waitForMessage(kAtOnceMs);
    QCOMPARE(message.value("type").toString(), QString("position"));
    const QVariantList sent{message.value("dLongitude").toDouble(), message.value("dLatitude").toDouble(),
                            message.value("dAltitude").toDouble()};
    QCOMPARE(sent, received);
}

QTEST_GUILESS_MAIN(GeoscopeProcessTest)

#include "tst_geoscopeprocess.moc"
