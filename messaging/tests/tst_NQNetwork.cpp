// Nodes in separate processes that have met: routing, offline notices and
// stopping.

#include "NodeNetwork.h"

#include <QtTest>

#include <csignal>
#include <vector>

namespace {

int sumOfCounts(const QString &log, const QRegularExpression &pattern)
{
    int sum = 0;
    for (auto match = pattern.globalMatch(log); match.hasNext();)
        sum += match.next().captured(1).toInt();
    return sum;
}

} // namespace

class tst_NQNetwork : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void routing();
    void killedPeerIsReportedOnce_data();
    void killedPeerIsReportedOnce();
    void stopEndsCallbacksAndThreads();
    void releasedNodeLeavesExitClean();
    void stuckPeerIsBounded_data();
    void stuckPeerIsBounded();

private:
    NodeNetwork net;
};

void tst_NQNetwork::cleanup()
{
    net.finish();
}

void tst_NQNetwork::routing()
{
    QVERIFY(net.startTogether());
    const QString a = net[0].name(), b = net[1].name(), c = net[2].name();

    // Dropped without a trace: a name nobody owns, a type nobody registered.
    net[0].command(QStringLiteral("send 999999999 to-nobody"));
    net[0].command(QStringLiteral("sendother %1 unregistered").arg(b));
    // Refused: the peer would close the socket on a frame this large.
    QCOMPARE(net[0].ask(QStringLiteral("fill %1 9000000 1").arg(b), QStringLiteral("filled")),
             QStringLiteral("0 1"));
    QVERIFY(net[0].errors().contains(QStringLiteral("refused a packet of 18000032 bytes for %1").arg(b)));
    net[0].command(QStringLiteral("send %1 to-b").arg(b));
    net[0].command(QStringLiteral("send %1 to-c").arg(c));
    net[2].command(QStringLiteral("send %1 c-to-a").arg(a));

    QVERIFY(net[1].waitForLine(QStringLiteral("data %1 to-b").arg(a)));
    QVERIFY(net[2].waitForLine(QStringLiteral("data %1 to-c").arg(a)));
    QVERIFY(net[0].waitForLine(QStringLiteral("data %1 c-to-a").arg(c)));
    const QRegularExpression anyData(QStringLiteral("^data "));
    QCOMPARE(net[0].lines().filter(anyData).size(), 1);
    QCOMPARE(net[1].lines().filter(anyData), QStringList{QStringLiteral("data %1 to-b").arg(a)});
    QCOMPARE(net[2].lines().filter(anyData), QStringList{QStringLiteral("data %1 to-c").arg(a)});
    QCOMPARE(net[1].lines().filter(QRegularExpression(QStringLiteral("^offline "))), QStringList());

    // A burst arrives whole and in order, after what was sent before it.
    net[0].command(QStringLiteral("flood %1 2000").arg(c));
    QVERIFY(net[2].waitForLine(QStringLiteral("data %1 1999").arg(a)));
    QStringList burst{QStringLiteral("data %1 to-c").arg(a)};
    for (int i = 0; i < 2000; ++i)
        burst << QStringLiteral("data %1 %2").arg(a).arg(i);
    QCOMPARE(net[2].lines().filter(anyData), burst);
}

void tst_NQNetwork::killedPeerIsReportedOnce_data()
{
    QTest::addColumn<bool>("learnedBeforeAnnouncing");
    QTest::newRow("all announced at once") << false;
    // Node 0 connects to node 2 before it has anything to say, and node 2
    // connects to node 0 once node 0 announces: two sockets to one peer.
    QTest::newRow("a node learns of the peer before announcing") << true;
}

void tst_NQNetwork::killedPeerIsReportedOnce()
{
    QFETCH(bool, learnedBeforeAnnouncing);
    if (learnedBeforeAnnouncing) {
        net.launch();
        net[0].command(QStringLiteral("start"));
        QVERIFY(net[0].waitForLine(QStringLiteral("started %1 1").arg(net[0].name()), 60000));
        for (int i = 1; i < 3; ++i)
            net[i].command(startAndAnnounce(i));
        QVERIFY(net[0].waitForLine(QStringLiteral("online %1 hello-2").arg(net[2].name()), 60000));
        net[0].command(QStringLiteral("online hello-0"));
        QVERIFY(net.allMet());
        // Node 2 writes on the socket it opened to node 0; once this
        // arrives, node 0 knows that socket as node 2's as well.
        net[2].command(QStringLiteral("send %1 ping").arg(net[0].name()));
        QVERIFY(net[0].waitForLine(QStringLiteral("data %1 ping").arg(net[2].name())));
    } else {
        QVERIFY(net.startTogether());
    }
    const QString victim = net[2].name();
    net[2].kill();

    const QString offline = QStringLiteral("offline %1").arg(victim);
    QVERIFY(net[0].waitForLine(offline));
    QVERIFY(net[1].waitForLine(offline));
    // Time for a duplicate notice to show up, were one coming.
    net[0].collectFor(1000);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(net[i].count(offline), 1);
        QCOMPARE(net[i].lines().filter(QRegularExpression(QStringLiteral("^offline"))).size(), 1);
    }
}

// A node stopped while a peer floods it: its user hears nothing more, its
// peer learns it went offline, and its threads are gone.
void tst_NQNetwork::stopEndsCallbacksAndThreads()
{
    net.nodes[0] = std::make_unique<NodeProcess>();
    net.nodes[1] = std::make_unique<NodeProcess>();
    net[0].launch();
    net[1].launch();
    net[1].command(QStringLiteral("threads"));
    const QString before = net[1].waitForMatch(QRegularExpression(QStringLiteral("^threads ")));
    QVERIFY(!before.isEmpty());

    net[0].command(startAndAnnounce(0));
    net[1].command(startAndAnnounce(1));
    QVERIFY(net[0].waitForLine(QStringLiteral("online %1 hello-1").arg(net[1].name()), 60000));
    QVERIFY(net[1].waitForLine(QStringLiteral("online %1 hello-0").arg(net[0].name()), 60000));

    net[0].command(QStringLiteral("flood %1 200000").arg(net[1].name()));
    QVERIFY(net[1].waitForLine(QStringLiteral("data %1 100").arg(net[0].name())));
    // Counted as soon as stop returns: a program may exit at that moment.
    net[1].command(QStringLiteral("stop"));
    net[1].command(QStringLiteral("threads"));
    QVERIFY(net[1].waitForLine(QStringLiteral("stopped")));
    QVERIFY(net[0].waitForLine(QStringLiteral("offline %1").arg(net[1].name())));
    const QRegularExpression threadsLine(QStringLiteral("^threads "));
    QTRY_COMPARE_WITH_TIMEOUT(net[1].lines().filter(threadsLine).size(), 2, 20000);
    QCOMPARE(net[1].lines().filter(threadsLine).constLast(), before);
}

// A user that stops and releases its node and then returns from main runs
// static teardown at once, and the messaging library goes: no thread of the
// node may still run its code then. The helper unloads the library before
// it returns; several try, as exits race.
void tst_NQNetwork::releasedNodeLeavesExitClean()
{
    constexpr int processes = 4;
    std::vector<std::unique_ptr<NodeProcess>> nodes;
    for (int i = 0; i < processes; ++i) {
        nodes.push_back(std::make_unique<NodeProcess>());
        nodes.back()->launch();
        nodes.back()->command(QStringLiteral("start\nonline hello\nstop\nrelease\nquit"));
    }
    for (auto &node : nodes) {
        int exitCode = -1;
        const bool ended = node->waitForExit(120000, &exitCode);
        if (!ended || exitCode != 0)
            node->dump();
        QVERIFY(ended);
        QCOMPARE(exitCode, 0);
        QVERIFY(node->lines().contains(QStringLiteral("released")));
    }
}

void tst_NQNetwork::stuckPeerIsBounded_data()
{
    QTest::addColumn<bool>("slowCallback");
    QTest::addColumn<bool>("senderStops");
    QTest::newRow("receiver's process stopped, then going on") << false << false;
    QTest::newRow("receiver's process stopped, sender stops") << false << true;
    QTest::newRow("receiver's callback slow, then fast") << true << false;
    QTest::newRow("receiver's callback slow, sender stops") << true << true;
}

// A peer that does not read (stopped, or busy in its callback) while a node
// sends as fast as it can: the node refuses what would pass its bound, with
// a log line that counts it, and neither side's memory grows with what is
// sent (unbounded it would reach 200 MB). Every accepted packet arrives, in
// order, once the peer reads again, unless the sender stops and counts what
// it drops.
void tst_NQNetwork::stuckPeerIsBounded()
{
    QFETCH(bool, slowCallback);
    QFETCH(bool, senderStops);
    constexpr int allowedGrowthMiB = 64;
    QProcessEnvironment environment = NodeProcess::nodeEnvironment();
#ifdef __SANITIZE_ADDRESS__
    // The address checker keeps freed memory aside (256 MiB by default) to
    // catch late uses: that would count as growth here.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":quarantine_size_mb=0"));
#endif
    for (int i : {0, 1})
        net.nodes[i] = std::make_unique<NodeProcess>(QStringLiteral(STATION_TESTS_DIR "/nq_test_node"),
                                                     QStringList(), environment);
    NodeProcess &sender = net[0], &receiver = net[1];
    sender.launch();
    receiver.launch();
    sender.command(startAndAnnounce(0));
    receiver.command(startAndAnnounce(1));
    QVERIFY(sender.waitForLine(QStringLiteral("online %1 hello-1").arg(receiver.name()), 60000));
    QVERIFY(receiver.waitForLine(QStringLiteral("online %1 hello-0").arg(sender.name()), 60000));
    const int senderBefore = sender.ask(QStringLiteral("memory"), QStringLiteral("memory")).toInt() / 1024;
    const int receiverBefore = receiver.ask(QStringLiteral("memory"), QStringLiteral("memory")).toInt() / 1024;
    QVERIFY(senderBefore > 0 && receiverBefore > 0);

    if (slowCallback)
        receiver.command(QStringLiteral("slow 20"));
    else
        ::kill(pid_t(receiver.name().toLongLong()), SIGSTOP);
    const QStringList filled = sender.ask(QStringLiteral("fill %1 1000 100000").arg(receiver.name()),
                                          QStringLiteral("filled"), 120000).split(QLatin1Char(' '));
    const int accepted = filled.value(0).toInt();
    const int refused = filled.value(1).toInt();
    QVERIFY2(refused > 0, qPrintable(filled.join(' ')));
    const int senderGrowth = sender.ask(QStringLiteral("memory"), QStringLiteral("memory")).toInt() / 1024 - senderBefore;
    QVERIFY2(senderGrowth < allowedGrowthMiB, qPrintable(QStringLiteral("the sender grew by %1 MiB").arg(senderGrowth)));
    if (slowCallback) {
        const int growth = receiver.ask(QStringLiteral("memory"), QStringLiteral("memory")).toInt() / 1024 - receiverBefore;
        QVERIFY2(growth < allowedGrowthMiB, qPrintable(QStringLiteral("the receiver grew by %1 MiB").arg(growth)));
    }

    int dropped = 0;
    if (senderStops) {
        sender.command(QStringLiteral("stop"));
        QVERIFY(sender.waitForLine(QStringLiteral("stopped")));
        dropped = sumOfCounts(sender.errors(), QRegularExpression(
            QStringLiteral("dropping (\\d+) packets accepted for %1").arg(receiver.name())));
    }
    if (slowCallback)
        receiver.command(QStringLiteral("slow 0"));
    else
        ::kill(pid_t(receiver.name().toLongLong()), SIGCONT);
    const QString expected = QString::number(accepted - dropped);
    QDeadlineTimer deadline(60000);
    QString received;
    while ((received = receiver.ask(QStringLiteral("received"), QStringLiteral("received"))) != expected
           && !deadline.hasExpired())
        receiver.collectFor(100);
    QVERIFY2(received == expected, qPrintable(QStringLiteral("%1 accepted, %2 dropped, %3 received")
                                                  .arg(accepted).arg(dropped).arg(received)));
    QCOMPARE(receiver.count(QStringLiteral("out-of-order")), 0);
    if (senderStops)
        return;
    QCOMPARE(sender.ask(QStringLiteral("fill %1 10 1").arg(receiver.name()), QStringLiteral("filled")),
             QStringLiteral("1 0"));
    const QRegularExpression refusals(QStringLiteral("refused (\\d+) packets for %1").arg(receiver.name()));
    QTRY_COMPARE(sumOfCounts(sender.errors(), refusals), refused);
    // Lines at a rate, not one per packet.
    QVERIFY(sender.errors().count(refusals) * 1000 < refused);
}

QTEST_GUILESS_MAIN(tst_NQNetwork)
#include "tst_NQNetwork.moc"
