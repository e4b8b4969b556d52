#include <QtTest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

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

private:
    // Runs the viewer with its own data and temporary folders.
    void startViewer(QProcess &process, const QStringList &arguments, bool display = true);

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

void GeoscopeProcessTest::startViewer(QProcess &process, const QStringList &arguments, bool display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!display)
        environment.remove("DISPLAY");
    environment.insert("XDG_DATA_HOME", m_dataHome.path());
    environment.insert("TMPDIR", m_tmp.path());
    // Qt would otherwise make its runtime folder inside TMPDIR.
    environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
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

QTEST_GUILESS_MAIN(GeoscopeProcessTest)

#include "tst_geoscopeprocess.moc"
