// A center killed under running nodes: they start a new one and rejoin, and
// a node that starts afterwards still finds them.

#include "NodeProcess.h"

#include <QtTest>

#include <csignal>
#include <memory>

class tst_NQCenterRestart : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase();
    void nodesRejoinANewCenter();
};

void tst_NQCenterRestart::cleanupTestCase()
{
    killCentersOfThisTest();
}

void tst_NQCenterRestart::nodesRejoinANewCenter()
{
    std::unique_ptr<NodeProcess> nodes[3];
    for (int i = 0; i < 3; ++i) {
        nodes[i] = std::make_unique<NodeProcess>();
        nodes[i]->launch();
    }
    const QString a = nodes[0]->name(), b = nodes[1]->name(), c = nodes[2]->name();
    nodes[0]->command(QStringLiteral("start\nonline hello-a"));
    nodes[1]->command(QStringLiteral("start\nonline hello-b"));
    QVERIFY(nodes[0]->waitForLine(QStringLiteral("online %1 hello-b").arg(b), 60000));
    QVERIFY(nodes[1]->waitForLine(QStringLiteral("online %1 hello-a").arg(a), 60000));

    const QList<qint64> centers = centerProcessesOfThisTest();
    QCOMPARE(centers.size(), 1);
    ::kill(pid_t(centers.first()), SIGKILL);

    // Both nodes take the lock in turn, start the center (the second start
    // ends at once) and connect again.
    QTRY_VERIFY_WITH_TIMEOUT(centerProcessesOfThisTest().size() == 1
                                 && centerProcessesOfThisTest().first() != centers.first(), 20000);
    nodes[2]->command(QStringLiteral("start\nonline hello-c"));
    QVERIFY(nodes[2]->waitForLine(QStringLiteral("online %1 hello-a").arg(a), 60000));
    QVERIFY(nodes[2]->waitForLine(QStringLiteral("online %1 hello-b").arg(b), 60000));
    QVERIFY(nodes[0]->waitForLine(QStringLiteral("online %1 hello-c").arg(c)));
    QVERIFY(nodes[1]->waitForLine(QStringLiteral("online %1 hello-c").arg(c)));

    // The peers are still connected directly, and the kept announcement
    // was not sent again to the new center.
    nodes[0]->command(QStringLiteral("send %1 still-there").arg(b));
    QVERIFY(nodes[1]->waitForLine(QStringLiteral("data %1 still-there").arg(a)));
    QCOMPARE(nodes[1]->count(QStringLiteral("online %1 hello-a").arg(a)), 1);
    QCOMPARE(nodes[0]->count(QStringLiteral("online %1 hello-b").arg(b)), 1);
    for (auto &node : nodes) {
        QCOMPARE(node->lines().filter(QRegularExpression(QStringLiteral("^offline"))), QStringList());
        QVERIFY(!node->count(QStringLiteral("wrong-thread")));
    }
}

QTEST_GUILESS_MAIN(tst_NQCenterRestart)
#include "tst_NQCenterRestart.moc"
