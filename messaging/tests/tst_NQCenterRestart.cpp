// A center killed under running nodes: they start a new one and rejoin while
// their direct traffic goes on, and a node that starts afterwards still
// finds them, even one that announced itself before they were back; a node
// stopped while it waits for a center stops at once.

#include "NQFrame.h"
#include "NQFrameReader.h"
#include "NQNames.h"
#include "NodeProcess.h"
#include "RawPeer.h"

#include <QLockFile>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

enum CenterState { CenterRunning, CenterJustLost, CenterUnstartable };

#ifdef __SANITIZE_THREAD__
// The race detector holds every thread of a process while the process
// starts a program, and slows the rest: it is still far from the seconds of
// a node that waits for the center on its socket thread.
constexpr int largestGapMs = 1000;
#else
constexpr int largestGapMs = 100;
#endif

QString startLockPath()
{
    return meetingPath(nqnames::lockFileName());
}

} // namespace

class tst_NQCenterRestart : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void nodesRejoinANewCenter_data();
    void nodesRejoinANewCenter();
    void announcementBetweenCentersIsAnswered();
    void stopReturnsPromptly_data();
    void stopReturnsPromptly();

private:
    void startTwoNodes();

    std::unique_ptr<NodeProcess> nodes[3];
};

void tst_NQCenterRestart::cleanup()
{
    for (auto &node : nodes) {
        if (node && QTest::currentTestFailed())
            node->dump();
        node.reset();
    }
    killCentersOfThisTest();
}

void tst_NQCenterRestart::startTwoNodes()
{
    for (int i = 0; i < 3; ++i) {
        nodes[i] = std::make_unique<NodeProcess>();
        nodes[i]->launch();
    }
    const QString a = nodes[0]->name(), b = nodes[1]->name();
    nodes[0]->command(QStringLiteral("start\nonline hello-a"));
    nodes[1]->command(QStringLiteral("start\nonline hello-b"));
    QVERIFY(nodes[0]->waitForLine(QStringLiteral("online %1 hello-b").arg(b), 60000));
    QVERIFY(nodes[1]->waitForLine(QStringLiteral("online %1 hello-a").arg(a), 60000));
    // The second node's start of the program, which ends at once as a center
    // runs, can outlast the node's start.
    QTRY_COMPARE_WITH_TIMEOUT(centerProcessesOfThisTest().size(), 1, 10000);
}

void tst_NQCenterRestart::nodesRejoinANewCenter_data()
{
    QTest::addColumn<int>("kills");
    QTest::newRow("the center killed") << 1;
    // Killed as they appear, mostly before anyone reached them: more new
    // centers than the two nodes would start after one loss.
    QTest::newRow("the center and three replacements killed") << 4;
}

// While the center is gone and a new one starts, two nodes that tick to each
// other every 10 ms keep hearing each other.
void tst_NQCenterRestart::nodesRejoinANewCenter()
{
    QFETCH(int, kills);
    startTwoNodes();
    if (QTest::currentTestFailed())
        return;
    const QString a = nodes[0]->name(), b = nodes[1]->name(), c = nodes[2]->name();
    nodes[0]->command(QStringLiteral("tick %1 10").arg(b));
    nodes[1]->command(QStringLiteral("tick %1 10").arg(a));
    for (int i = 0; i < 2; ++i)
        QTRY_VERIFY(nodes[i]->ask(QStringLiteral("gap"), QStringLiteral("gap")).toInt() > 0);

    QList<qint64> killed;
    QDeadlineTimer deadline(20000);
    while (killed.size() < kills) {
        for (qint64 center : centerProcessesOfThisTest()) {
            if (!killed.contains(center) && killed.size() < kills) {
                ::kill(pid_t(center), SIGKILL);
                killed << center;
            }
        }
        QVERIFY2(!deadline.hasExpired(), qPrintable(QStringLiteral("%1 centers started").arg(killed.size())));
        QTest::qWait(5);
    }

    // Both nodes take the lock in turn, start the center (the second start
    // ends at once) and connect again. The count is read once per look: the
    // second start shows two centers for a moment.
    deadline.setRemainingTime(60000);
    for (QList<qint64> now = centerProcessesOfThisTest();
         now.size() != 1 || killed.contains(now.first()); now = centerProcessesOfThisTest()) {
        QVERIFY(!deadline.hasExpired());
        QTest::qWait(50);
    }
    nodes[2]->command(QStringLiteral("start\nonline hello-c"));
    QVERIFY(nodes[2]->waitForLine(QStringLiteral("online %1 hello-a").arg(a), 60000));
    QVERIFY(nodes[2]->waitForLine(QStringLiteral("online %1 hello-b").arg(b), 60000));
    QVERIFY(nodes[0]->waitForLine(QStringLiteral("online %1 hello-c").arg(c)));
    QVERIFY(nodes[1]->waitForLine(QStringLiteral("online %1 hello-c").arg(c)));
    for (int i = 0; i < 2; ++i) {
        const int gap = nodes[i]->ask(QStringLiteral("gap"), QStringLiteral("gap")).toInt();
        QVERIFY2(gap < largestGapMs, qPrintable(QStringLiteral("node %1 heard nothing for %2 ms").arg(i).arg(gap)));
    }

    // The peers are still connected directly, and neither heard of the
    // other again when both announced themselves to the new center.
    nodes[0]->command(QStringLiteral("send %1 still-there").arg(b));
    QVERIFY(nodes[1]->waitForLine(QStringLiteral("data %1 still-there").arg(a)));
    QCOMPARE(nodes[1]->count(QStringLiteral("online %1 hello-a").arg(a)), 1);
    QCOMPARE(nodes[0]->count(QStringLiteral("online %1 hello-b").arg(b)), 1);
    for (auto &node : nodes) {
        QCOMPARE(node->lines().filter(QRegularExpression(QStringLiteral("^offline"))), QStringList());
        QVERIFY(!node->count(QStringLiteral("wrong-thread")));
    }
}

// The nodes' lock held by the test keeps both nodes away from the new
// center while a newcomer announces itself on it: when they are let in,
// they must announce themselves again, or the newcomer never finds them.
void tst_NQCenterRestart::announcementBetweenCentersIsAnswered()
{
    startTwoNodes();
    if (QTest::currentTestFailed())
        return;
    const QString a = nodes[0]->name(), b = nodes[1]->name();
    QLockFile lock(startLockPath());
    QVERIFY(lock.lock());
    const QList<qint64> centers = centerProcessesOfThisTest();
    QCOMPARE(centers.size(), 1);
    ::kill(pid_t(centers.first()), SIGKILL);
    // Until it is gone, the killed center still answers a new one's check
    // and takes the newcomer's connection.
    QTRY_VERIFY_WITH_TIMEOUT(centerProcessesOfThisTest().isEmpty(), 10000);

    NodeProcess center(QStringLiteral(STATION_BIN_DIR "/NQCenter"), {},
                       QProcessEnvironment::systemEnvironment());
    center.launch();
    RawPeer newcomer;
    QDeadlineTimer deadline(30000);
    while (!newcomer.connectTo(nqnames::centerServerName())) {
        QVERIFY(!deadline.hasExpired());
        center.collectFor(20);
    }
    QCOMPARE(centerProcessesOfThisTest(), QList<qint64>{center.name().toLongLong()});
    newcomer.write(NQFrame::encode(QStringLiteral("1"), "hello-newcomer"));
    lock.unlock();

    // Each node's own announcement, relayed by the center to the newcomer.
    NQFrameReader reader;
    QSet<QString> announced;
    deadline.setRemainingTime(60000);
    while (!announced.contains(a) || !announced.contains(b)) {
        QVERIFY2(!deadline.hasExpired(), qPrintable(QStringList(announced.values()).join(' ')));
        newcomer.socket.waitForReadyRead(100);
        reader.append(newcomer.socket.readAll());
        for (NQFrame frame; reader.next(&frame);)
            announced << frame.name();
    }
    QCOMPARE(nodes[0]->count(QStringLiteral("online %1 hello-b").arg(b)), 1);
    QCOMPARE(nodes[1]->count(QStringLiteral("online %1 hello-a").arg(a)), 1);
}

void tst_NQCenterRestart::stopReturnsPromptly_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reply");
    const QList<QPair<QString, QString>> commands{{QStringLiteral("stop"), QStringLiteral("stopped")},
                                                  {QStringLiteral("release"), QStringLiteral("released")}};
    for (const auto &command : commands) {
        const QByteArray bytes = command.first.toLatin1();
        const char *verb = bytes.constData();
        QTest::addRow("%s with the center running", verb) << int(CenterRunning) << command.first << command.second;
        QTest::addRow("%s in the pause after the center went away", verb)
            << int(CenterJustLost) << command.first << command.second;
        QTest::addRow("%s while trying a center that cannot start", verb)
            << int(CenterUnstartable) << command.first << command.second;
    }
}

// A program that closes stops its node on its user's thread: whatever the
// node is waiting for, that must not hold the program up. Afterwards the
// library is unloaded and the process exits: no thread of the node may run
// on into that.
void tst_NQCenterRestart::stopReturnsPromptly()
{
    QFETCH(int, state);
    QFETCH(QString, command);
    QFETCH(QString, reply);
    // The node finds the center program through a link that can be removed.
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("NQCenter"));
    QVERIFY(QFile::link(QStringLiteral(STATION_BIN_DIR "/NQCenter"), link));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), folder.path());
    nodes[0] = std::make_unique<NodeProcess>(QStringLiteral(STATION_TESTS_DIR "/nq_test_node"), QStringList{},
                                             environment);
    NodeProcess &node = *nodes[0];
    node.launch();
    node.command(QStringLiteral("start\nonline hello-a"));
    QVERIFY(node.waitForLine(QStringLiteral("started %1 1").arg(node.name()), 60000));

    if (state != CenterRunning) {
        if (state == CenterUnstartable)
            QVERIFY(QFile::remove(link));
        const QList<qint64> centers = centerProcessesOfThisTest();
        QCOMPARE(centers.size(), 1);
        ::kill(pid_t(centers.first()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(node.countErrors(QStringLiteral("NQNodeServer::closeSocket")) > 0, 10000);
    }
    if (state == CenterUnstartable) {
        QTRY_VERIFY_WITH_TIMEOUT(node.errors().contains(QStringLiteral("start NQCenter.exe failed")), 10000);
        // Stopped while it waits to try again, with the lock free.
        QTRY_VERIFY_WITH_TIMEOUT(node.errors().contains(QStringLiteral("NQCenter not reached")), 10000);
        QLockFile lock(startLockPath());
        QVERIFY(lock.tryLock(10000));
        lock.unlock();
    }

    QElapsedTimer clock;
    clock.start();
    node.command(command);
    QVERIFY(node.waitForLine(reply, 60000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 took %2 ms").arg(command).arg(clock.elapsed())));

    node.command(command == QLatin1String("stop") ? QStringLiteral("release\nquit") : QStringLiteral("quit"));
    int exitCode = -1;
    QVERIFY(node.waitForExit(30000, &exitCode));
    QCOMPARE(exitCode, 0);
}

QTEST_GUILESS_MAIN(tst_NQCenterRestart)
#include "tst_NQCenterRestart.moc"
