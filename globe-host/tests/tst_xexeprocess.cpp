#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ProcessProbe.h"
#include "XExeProcess.h"

// The runner with real child programs: what it starts, what it reports, and
// that nothing it started survives it.
class TestXExeProcess : public QObject
{
    Q_OBJECT

private slots:
    void killLeavesRunnerIdle();
    void startFailsAtOnce_data();
    void startFailsAtOnce();
    void busyRunnerRefusesSecondStart();
    void childEndReportedOnce_data();
    void childEndReportedOnce();
    void killEndsWholeGroup();
    void destroyingRunnerEndsChild();
    void argumentsArriveWhole();

private:
    static QStringList shell(const QString &script, const QStringList &args = {})
    {
        return QStringList{"/bin/sh", "-c", script, "sh"} + args;
    }
    // The first line of a file a child writes, once it is there.
    static QByteArray waitForLine(const QString &path)
    {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray text = file.readAll();
                if (text.endsWith('\n'))
                    return text;
            }
            QTest::qWait(20);
        }
        return {};
    }

    QTemporaryDir dir;
};

void TestXExeProcess::killLeavesRunnerIdle()
{
    XExeProcess runner(true);
    QVERIFY(runner.start({"/bin/sleep", "60"}));
    const qint64 pid = runner.processHandle();
    QVERIFY(runner.isRunning());
    QVERIFY(!runner.isIdle());
    QCOMPARE(runner.waitForExit(0), 259);

    QVERIFY(runner.kill());
    QVERIFY(!runner.isRunning());
    QVERIFY(runner.isIdle());
    QCOMPARE(runner.waitForExit(100), -1);
    QVERIFY(processEnded(pid));
}

void TestXExeProcess::startFailsAtOnce_data()
{
    QTest::addColumn<QString>("program");
    const QString plainFile = dir.filePath("not-a-program");
    QFile file(plainFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("just text\n");
    QTest::newRow("missing file") << dir.filePath("no-such-program");
    QTest::newRow("not executable") << plainFile;
    QTest::newRow("a folder") << dir.path();
    QTest::newRow("bare name not on PATH") << "no-such-program-anywhere";
}

void TestXExeProcess::startFailsAtOnce()
{
    QFETCH(QString, program);
    XExeProcess runner(true);
    QSignalSpy finished(&runner, &XExeProcess::finished);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!runner.start({program, "-Geoframe", "token"}));
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(runner.isIdle());
    QVERIFY(!runner.isRunning());
    QCOMPARE(runner.waitForExit(0), -1);
    QTest::qWait(50);
    QCOMPARE(finished.count(), 0);
}

void TestXExeProcess::busyRunnerRefusesSecondStart()
{
    XExeProcess runner(true);
    QVERIFY(runner.start({"/bin/sleep", "60"}));
    const qint64 first = runner.processHandle();
    QVERIFY(!runner.start({"/bin/sleep", "61"}));
    QCOMPARE(runner.processHandle(), first);
    QVERIFY(runner.isRunning());
}

void TestXExeProcess::childEndReportedOnce_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("status");
    QTest::newRow("exit 0") << "exit 0" << 0;
    QTest::newRow("exit 3") << "exit 3" << 3;
    QTest::newRow("exit -1") << "exit 255" << 255;
    QTest::newRow("killed") << "kill -9 $$" << 128 + 9;
}

void TestXExeProcess::childEndReportedOnce()
{
    QFETCH(QString, script);
    QFETCH(int, status);
    XExeProcess runner(true);
    QSignalSpy finished(&runner, &XExeProcess::finished);
    QVERIFY(runner.start(shell(script)));
    QCOMPARE(runner.waitForExit(5000), status);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(finished.wait(3000));
    QVERIFY2(clock.elapsed() < 1200, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(runner.isIdle());
    QVERIFY(!runner.isRunning());
    QVERIFY(!finished.wait(300));
    QCOMPARE(finished.count(), 1);
}

void TestXExeProcess::killEndsWholeGroup()
{
    const QString pidFile = dir.filePath("grandchild.pid");
    XExeProcess runner(true);
    QVERIFY(runner.start(shell("sleep 60 & echo $! > \"$1\"; wait", {pidFile})));
    const qint64 grandchild = waitForLine(pidFile).trimmed().toLongLong();
    QVERIFY(grandchild > 0);
    QVERIFY(!processEnded(grandchild));

    runner.kill();
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(grandchild), 5000);
}

void TestXExeProcess::destroyingRunnerEndsChild()
{
    qint64 pid;
    {
        XExeProcess runner(true);
        QVERIFY(runner.start({"/bin/sleep", "60"}));
        pid = runner.processHandle();
    }
    QVERIFY(processEnded(pid));
}

void TestXExeProcess::argumentsArriveWhole()
{
    const QString out = dir.filePath("arguments.txt");
    XExeProcess runner(true);
    QVERIFY(runner.start(
        shell("out=$1; shift; printf '%s\\n' \"$@\" > \"$out\"", {out, "a b", "", "c\"d"})));
    QCOMPARE(runner.waitForExit(5000), 0);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("a b\n\nc\"d\n"));
}

QTEST_GUILESS_MAIN(TestXExeProcess)
#include "tst_xexeprocess.moc"
