// The launcher as users meet it: started as a program, with a stand-in for
// the framework library, and looked at through its exit status, its log and
// the files it leaves.

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QtTest>

#include "LauncherInstall.h"

class LauncherTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void endsWithItsStatus_data();
    void endsWithItsStatus();
    void keepsTheLastReportsAndEmptiesTheRest_data();
    void keepsTheLastReportsAndEmptiesTheRest();
    void secondInstanceLogsAndStillRuns();
    void runningInstanceDropsAConnectionThatSaysNothing();
    void reclaimsTheNameOfAKilledInstance();
};

static const QString standIn = QStringLiteral(CORE_STAND_IN);
static const QString withoutRun = QStringLiteral(CORE_WITHOUT_RUN);

void LauncherTest::init()
{
    // Each case finds the program's server name free, as after a clean end.
    QLocalSocket probe;
    probe.connectToServer(QStringLiteral("Optivane"));
    QVERIFY2(!probe.waitForConnected(100), "an earlier launcher still runs");
}

void LauncherTest::endsWithItsStatus_data()
{
    QTest::addColumn<QString>("core");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<bool>("runCalled");

    QTest::newRow("no framework library") << QString() << QStringList() << 2
                                          << QByteArray("load Core library failed: ") << false;
    QTest::newRow("Run returns 0") << standIn << QStringList{"return", "0"} << 255
                                   << QByteArray("unload Core") << true;
    QTest::newRow("Run returns -1") << standIn << QStringList{"return", "-1"} << 255
                                    << QByteArray("unload Core") << true;
    QTest::newRow("Run returns 7") << standIn << QStringList{"return", "7"} << 255
                                   << QByteArray("unload Core") << true;
    QTest::newRow("threads end through pthread_exit")
        << standIn << QStringList{"threads-end"} << 255
        << QByteArray("mappings left by threads: 0\n") << true;
    QTest::newRow("library without Run") << withoutRun << QStringList() << 255
                                         << QByteArray("unload Core") << false;
}

void LauncherTest::endsWithItsStatus()
{
    QFETCH(QString, core);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, log);
    QFETCH(bool, runCalled);

    LauncherInstall install(core);
    auto run = install.start(arguments);
    QVERIFY(run->waitForFinished());
    QCOMPARE(run->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run->process().exitCode(), status);
    QVERIFY2(run->standardError().contains(log), run->standardError());
    QCOMPARE(run->standardOutput().contains("Run called"), runCalled);
    if (runCalled)
        QVERIFY(run->standardOutput().contains("Run called: " + arguments.join(' ').toUtf8() + "\n"));
}

// Files of an earlier run in `folder`: seven crash reports out of order, a
// file of another name and one in a subfolder.
static bool leaveEarlierFiles(const QString &folder)
{
    const QStringList names{"dump_2020-01-02_03.04.05.dmp", "dump_2021-07-01_00.00.00.dmp",
                            "dump_2019-12-31_23.59.59.dmp", "dump_2021-06-30_12.00.00.dmp",
                            "dump_2020-01-02_03.04.06.dmp", "dump_2021-07-01_00.00.01.dmp",
                            "dump_2020-11-11_11.11.11.dmp", "notes.txt", "older/notes.txt"};
    if (!QDir().mkpath(folder + "/older"))
        return false;
    for (const QString &name : names) {
        QFile file(folder + '/' + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(name.toUtf8()) != name.size())
            return false;
    }
    return true;
}

static QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void LauncherTest::keepsTheLastReportsAndEmptiesTheRest_data()
{
    QTest::addColumn<QString>("core");
    QTest::addColumn<bool>("linked");
    QTest::newRow("framework runs") << standIn << false;
    QTest::newRow("no framework library") << QString() << false;
    QTest::newRow("logs folder links to another folder") << standIn << true;
}

void LauncherTest::keepsTheLastReportsAndEmptiesTheRest()
{
    QFETCH(QString, core);
    QFETCH(bool, linked);

    const QString logs = LauncherInstall::logsFolder();
    const QString elsewhere = qEnvironmentVariable("HOME") + "/elsewhere";
    QVERIFY(QDir(logs).removeRecursively() && QDir(elsewhere).removeRecursively());
    if (linked) {
        QVERIFY(leaveEarlierFiles(elsewhere));
        QVERIFY(QDir().mkpath(QFileInfo(logs).path()));
        QVERIFY(QFile::link(elsewhere, logs));
    } else {
        QVERIFY(leaveEarlierFiles(logs));
    }
    const QStringList elsewhereBefore = entriesOf(elsewhere);

    LauncherInstall install(core);
    auto run = install.start({"return", "0"});
    QVERIFY(run->waitForFinished());

    QCOMPARE(entriesOf(elsewhere), elsewhereBefore);
    QVERIFY(QFileInfo(logs).isDir() && !QFileInfo(logs).isSymLink());
    if (linked) {
        QVERIFY2(run->standardError().contains("logs folder is a symbolic link, replaced by a folder:"),
                 run->standardError());
        QCOMPARE(entriesOf(logs), QStringList());
        return;
    }
    const QStringList lastFive{"dump_2020-01-02_03.04.06.dmp", "dump_2020-11-11_11.11.11.dmp",
                               "dump_2021-06-30_12.00.00.dmp", "dump_2021-07-01_00.00.00.dmp",
                               "dump_2021-07-01_00.00.01.dmp"};
    QCOMPARE(entriesOf(logs), lastFive);
    for (const QString &name : lastFive) {
        QFile file(logs + '/' + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), name.toUtf8());
    }
}

void LauncherTest::secondInstanceLogsAndStillRuns()
{
    LauncherInstall install(standIn);
    auto first = install.start({"hold"});
    QVERIFY(first->waitForOutput("Run called"));

    auto second = install.start({"return", "0"});
    QVERIFY(second->waitForFinished());
    QVERIFY2(second->standardError().contains("Optivane already running."), second->standardError());
    QVERIFY(second->standardOutput().contains("Run called: return 0"));
    QCOMPARE(second->process().exitCode(), 255);

    first->process().closeWriteChannel();
    QVERIFY(first->waitForFinished());
    QCOMPARE(first->process().exitCode(), 255);
    QVERIFY(!first->standardError().contains("already running"));
    QVERIFY(!first->standardError().contains("listen failed"));
}

void LauncherTest::runningInstanceDropsAConnectionThatSaysNothing()
{
    LauncherInstall install(standIn);
    auto first = install.start({"hold"});
    QVERIFY(first->waitForOutput("Run called"));

    // Timed from before the connection exists, so a slow test cannot make the
    // instance's wait look shorter than it was.
    QElapsedTimer waited;
    waited.start();
    QLocalSocket knock;
    knock.connectToServer(QStringLiteral("Optivane"));
    QVERIFY(knock.waitForConnected(5000));
    QTRY_COMPARE_WITH_TIMEOUT(knock.state(), QLocalSocket::UnconnectedState, 10000);
    // The instance gives a knock a second to say something before it hangs up.
    QVERIFY2(waited.elapsed() >= 900, QByteArray::number(waited.elapsed()));

    first->process().closeWriteChannel();
    QVERIFY(first->waitForFinished());
}

void LauncherTest::reclaimsTheNameOfAKilledInstance()
{
    LauncherInstall install(standIn);
    {
        auto killed = install.start({"hold"});
        QVERIFY(killed->waitForOutput("Run called"));
        killed->process().kill();
        QVERIFY(killed->waitForFinished());
    }
    QVERIFY2(QFileInfo::exists(QDir::tempPath() + "/Optivane"), "a killed instance leaves its server's name");

    auto next = install.start({"hold"});
    QVERIFY(next->waitForOutput("Run called"));
    QVERIFY2(!next->standardError().contains("listen failed"), next->standardError());
    QVERIFY(!next->standardError().contains("already running"));

    // Listening again really worked: the next one finds it running.
    auto third = install.start({"return", "0"});
    QVERIFY(third->waitForFinished());
    QVERIFY2(third->standardError().contains("Optivane already running."), third->standardError());

    next->process().closeWriteChannel();
    QVERIFY(next->waitForFinished());
}

QTEST_GUILESS_MAIN(LauncherTest)
#include "tst_Launcher.moc"
