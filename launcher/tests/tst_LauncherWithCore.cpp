// The launcher with the real framework library and a main user interface
// module: the framework runs, in the first instance and in a second, and a
// crash inside the user interface reaches the apology box.

#include <QtTest>

#include "CrashChecks.h"
#include "LauncherInstall.h"

class LauncherWithCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void endsWith255WhateverRunReturns_data();
    void endsWith255WhateverRunReturns();
    void secondInstanceRunsTheFramework();
    void crashInTheUserInterfaceIsReported();
};

// The configuration files from `folder`, none when empty.
static QStringList installedFiles(const QString &folder)
{
    QStringList files{QStringLiteral(MAIN_UI_MODULE)};
    if (!folder.isEmpty())
        files << folder + "/Module.xml" << folder + "/Event.xml";
    return files;
}

static const QString mainUIConfiguration = QStringLiteral(STATION_TEST_DATA_DIR "/main-ui");

static QProcessEnvironment mainUI(const QString &behaviour)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MAIN_UI"), behaviour);
    return environment;
}

void LauncherWithCoreTest::endsWith255WhateverRunReturns_data()
{
    QTest::addColumn<QString>("configuration");
    QTest::addColumn<QByteArray>("lastWord");
    QTest::addColumn<QByteArray>("output");
    const QByteArray complete("uninitialize application context over, application will exit");
    QTest::newRow("complete run") << mainUIConfiguration << complete << QByteArray("StartMainUI\nRunMainUI\n");
    QTest::newRow("framework cannot start")
        << QString() << QByteArray("initialize application context failed, application will exit") << QByteArray();
    // What a newcomer meets: the configuration that ships lists no main
    // user interface, so the framework starts and ends at once.
    QTest::newRow("installed configuration")
        << QStringLiteral(STATION_BIN_DIR)
        << "can't find the module which the service  \"MainUIService\" belong to\nwill uninitialize application context\n"
               + complete
        << QByteArray();
}

void LauncherWithCoreTest::endsWith255WhateverRunReturns()
{
    QFETCH(QString, configuration);
    QFETCH(QByteArray, lastWord);
    QFETCH(QByteArray, output);

    LauncherInstall install(QStringLiteral(STATION_BIN_DIR "/libCore.so"), installedFiles(configuration));
    auto run = install.start({}, mainUI(QString()));
    QVERIFY(run->waitForFinished());
    QCOMPARE(run->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run->process().exitCode(), 255);
    const QByteArray log = run->standardError();
    QVERIFY2(log.contains(lastWord + "\nunload Core\n"), log);
    QCOMPARE(run->standardOutput(), output);
}

void LauncherWithCoreTest::secondInstanceRunsTheFramework()
{
    LauncherInstall install(QStringLiteral(STATION_BIN_DIR "/libCore.so"), installedFiles(mainUIConfiguration));
    auto first = install.start({}, mainUI(QStringLiteral("hold")));
    QVERIFY(first->waitForOutput("RunMainUI"));

    auto second = install.start({}, mainUI(QString()));
    QVERIFY(second->waitForFinished());
    QVERIFY2(second->standardError().contains("Optivane already running."), second->standardError());
    QCOMPARE(second->standardOutput(), QByteArray("StartMainUI\nRunMainUI\n"));
    QCOMPARE(second->process().exitCode(), 255);

    first->process().closeWriteChannel();
    QVERIFY(first->waitForFinished());
    QCOMPARE(first->process().exitCode(), 255);
}

void LauncherWithCoreTest::crashInTheUserInterfaceIsReported()
{
    // The launcher keeps the reports of earlier crashes, an earlier run's too.
    QVERIFY(QDir(LauncherInstall::logsFolder()).removeRecursively());
    LauncherInstall install(QStringLiteral(STATION_BIN_DIR "/libCore.so"), installedFiles(mainUIConfiguration));
    auto run = install.start({}, mainUI(QStringLiteral("crash")));

    QString address;
    const QString failure = closeApology(*run, QStringLiteral("c0000005"), address);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(run->standardError().contains("errCode:  \"c0000005\""));

    const Report report = onlyReport();
    QVERIFY(report.content.startsWith("errCode: c0000005\nerrAddr: " + address.toUtf8() + "\n"));
    QVERIFY2(inCodeOf(report.content, "libLauncherMainUI.so", address.toULongLong(nullptr, 16)), qPrintable(address));
}

QTEST_MAIN(LauncherWithCoreTest)
#include "tst_LauncherWithCore.moc"
