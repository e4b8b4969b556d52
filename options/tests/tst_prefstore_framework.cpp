#include <QtTest>

// The options module in an installation: the framework loads it from
// Module.xml when a main UI module asks for its service, and the first
// request writes the default user options. The operator's options survive
// a bad value and the service's uninitialisation.
class PrefstoreFrameworkTest : public QObject
{
    Q_OBJECT

private slots:
    void frameworkLoadsTheModuleAndDefaultsAreWritten();
};

void PrefstoreFrameworkTest::frameworkLoadsTheModuleAndDefaultsAreWritten()
{
    QTemporaryDir installation;
    const QDir here(QCoreApplication::applicationDirPath());
    const QDir bin(QStringLiteral(STATION_BIN_DIR));
    const QDir fixtures(QStringLiteral(STATION_TEST_DATA_DIR "/installation"));
    QStringList files{here.filePath("core_runner"), here.filePath("libOptionsProbe.so"),
                      bin.filePath("libCore.so"), bin.filePath("libPrefstore.so")};
    for (const QString &name : fixtures.entryList(QDir::Files))
        files << fixtures.filePath(name);
    for (const QString &file : files)
        QVERIFY2(QFile::copy(file, QDir(installation.path()).filePath(QFileInfo(file).fileName())),
                 qPrintable(file));

    QTemporaryDir dataHome;
    QProcess runner;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dataHome.path());
    runner.setProcessEnvironment(environment);
    runner.setProcessChannelMode(QProcess::MergedChannels);
    runner.start(QDir(installation.path()).filePath("core_runner"), QStringList());
    QVERIFY(runner.waitForFinished(60000));
    const QString output = QString::fromUtf8(runner.readAll());
    QCOMPARE(runner.exitCode(), 0);

    const QStringList expected{"probe: MoveSpeed 10", "probe: LastURL rtsp://192.168.144.108:554",
                               "probe: model Dual", "probe: lenses 2", "probe: saved 1",
                               "probe: RunMainUI", "probe: saved after uninitialise 0"};
    int from = 0;
    for (const QString &line : expected) {
        from = output.indexOf(line, from);
        QVERIFY2(from >= 0, qPrintable(line + " missing in:\n" + output));
    }

    // The user options live in the per-user data folder named after the
    // program that hosts the framework; the good change made there was
    // saved, nothing after the uninitialisation was.
    QFile saved(dataHome.path() + "/core_runner/OptionsNewUI.xml");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray content = saved.readAll();
    for (const char *item : {"<item name=\"MoveSpeed\" type=\"0\">12</item>",
                             "<item name=\"ZoomSpeed\" type=\"0\">4</item>",
                             "<item name=\"LastURL\" type=\"2\">rtsp://192.168.144.108:554</item>"})
        QVERIFY2(content.contains(item), content.constData());
}

QTEST_GUILESS_MAIN(PrefstoreFrameworkTest)
#include "tst_prefstore_framework.moc"
