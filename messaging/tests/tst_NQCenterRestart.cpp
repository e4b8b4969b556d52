// A center killed under running nodes: they start a new one and rejoin, and
// a node that starts afterwards still finds them, even one that announced
// itself before they were back.

#include "NQFrame.h"
#include "NQFrameReader.h"
#include "NQNames.h"
#include "NodeProcess.h"
#include "RawPeer.h"

#include <QLockFile>
#include <QtTest>

#include <csignal>
#include <memory>

class tst_NQCenterRestart : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void nodesRejoinANewCenter();
    void announcementBetweenCentersIsAnswered();

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
}

void tst_NQCenterRestart::nodesRejoinANewCenter()
{
    startTwoNodes();
    if (QTest::currentTestFailed())
        return;
    const QString a = nodes[0]->name(), b = nodes[1]->name(), c = nodes[2]->name();

    const QList<qint64> centers = centerProcessesOfThisTest();
    QCOMPARE(centers.size(), 1);
    ::kill(pid_t(centers.first()), SIGKILL);

    // Both nodes take the lock in turn, start the center (the second start
    // ends at once) and connect again. The count is read once per look: the
    // second start shows two centers for a moment.
    QDeadlineTimer deadline(60000);
    for (QList<qint64> now = centerProcessesOfThisTest();
         now.size() != 1 || now.first() == centers.first(); now = centerProcessesOfThisTest()) {
        QVERIFY(!deadline.hasExpired());
        QTest::qWait(50);
    }
    nodes[2]->command(QStringLiteral("start\nonline hello-c"));
    QVERIFY(nodes[2]->waitForLine(QStringLiteral("online %1 hello-a").arg(a), 60000));
    QVERIFY(nodes[2]->waitForLine(QStringLiteral("online %1 hello-b").arg(b), 60000));
    QVERIFY(nodes[0]->waitForLine(QStringLiteral("online %1 hello-c").arg(c)));
    QVERIFY(nodes[1]->waitForLine(QStringLiteral("online %1 hello-c").arg(c)));

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
    QLockFile lock(QDir::tempPath() + QLatin1Char('/') + nqnames::lockFileName());
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
        for (const NQFrame &frame : reader.read(newcomer.socket.readAll()))
            announced << frame.name;
    }
    QCOMPARE(nodes[0]->count(QStringLiteral("online %1 hello-b").arg(b)), 1);
    QCOMPARE(nodes[1]->count(QStringLiteral("online %1 hello-a").arg(a)), 1);
}

QTEST_GUILESS_MAIN(tst_NQCenterRestart)
#include "tst_NQCenterRestart.moc"
