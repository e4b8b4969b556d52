// Nodes in separate processes meeting through the center: discovery, direct
// sockets, routing, offline notices and stopping.

#include "NodeProcess.h"

#include <QtTest>

#include <memory>

namespace {

struct Network
{
    std::unique_ptr<NodeProcess> nodes[3];

    NodeProcess &operator[](int i) { return *nodes[i]; }

    void launch()
    {
        for (auto &node : nodes) {
            node = std::make_unique<NodeProcess>();
            node->launch();
        }
    }

    // Every node saw both others announce themselves, by name and text.
    bool allMet(int timeoutMs = 60000)
    {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (i != j && !nodes[i]->waitForLine(
                        QStringLiteral("online %1 hello-%2").arg(nodes[j]->name()).arg(j), timeoutMs))
                    return false;
            }
        }
        return true;
    }

    int acceptedSockets()
    {
        int accepted = 0;
        for (auto &node : nodes)
            accepted += node->countErrors(QStringLiteral("NQNodeServer::onSocketConnection"));
        return accepted;
    }

    bool anyLine(const QString &line)
    {
        for (auto &node : nodes) {
            if (node && node->count(line) > 0)
                return true;
        }
        return false;
    }
};

QString startAndAnnounce(int index)
{
    return QStringLiteral("start\nonline hello-%1").arg(index);
}

} // namespace

class tst_NQNetwork : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void discovery_data();
    void discovery();
    void routing();
    void killedPeerIsReportedOnce();
    void stopEndsCallbacksAndThreads();

private:
    Network net;
};

void tst_NQNetwork::cleanup()
{
    QVERIFY2(!net.anyLine(QStringLiteral("wrong-thread")), "a callback ran on the user's thread");
    QVERIFY2(!net.anyLine(QStringLiteral("late-callback")), "a callback arrived after stop");
    for (auto &node : net.nodes)
        node.reset();
    killCentersOfThisTest();
}

void tst_NQNetwork::discovery_data()
{
    QTest::addColumn<bool>("together");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("one after another") << false << QList<int>{0, 1, 2};
    QTest::newRow("one after another, reversed") << false << QList<int>{2, 1, 0};
    QTest::newRow("all at once") << true << QList<int>{1, 0, 2};
}

// Whatever the order, every pair ends with exactly one direct socket: the
// node that learns of a later one connects, the later one only accepts.
void tst_NQNetwork::discovery()
{
    QFETCH(bool, together);
    QFETCH(QList<int>, order);
    net.launch();
    for (int i : order) {
        net[i].command(startAndAnnounce(i));
        if (!together)
            QVERIFY(net[i].waitForLine(QStringLiteral("started %1 1").arg(net[i].name()), 60000));
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY(net[i].waitForLine(QStringLiteral("started %1 1").arg(net[i].name()), 60000));
    QVERIFY(net.allMet());
    QCOMPARE(net.acceptedSockets(), 3);
}

void tst_NQNetwork::routing()
{
    net.launch();
    for (int i = 0; i < 3; ++i)
        net[i].command(startAndAnnounce(i));
    QVERIFY(net.allMet());
    const QString a = net[0].name(), b = net[1].name(), c = net[2].name();

    // Dropped without a trace: a name nobody owns, a type nobody registered.
    net[0].command(QStringLiteral("send 999999999 to-nobody"));
    net[0].command(QStringLiteral("sendother %1 unregistered").arg(b));
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
}

void tst_NQNetwork::killedPeerIsReportedOnce()
{
    net.launch();
    for (int i = 0; i < 3; ++i)
        net[i].command(startAndAnnounce(i));
    QVERIFY(net.allMet());
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

    net[0].command(QStringLiteral("flood %1 20000").arg(net[1].name()));
    QVERIFY(net[1].waitForLine(QStringLiteral("data %1 100").arg(net[0].name())));
    net[1].command(QStringLiteral("stop"));
    QVERIFY(net[1].waitForLine(QStringLiteral("stopped")));
    QVERIFY(net[0].waitForLine(QStringLiteral("offline %1").arg(net[1].name())));

    QDeadlineTimer deadline(10000);
    int threads = -1;
    do {
        net[1].command(QStringLiteral("threads"));
        net[1].collectFor(100);
        threads = net[1].lines().filter(QRegularExpression(QStringLiteral("^threads "))).constLast().mid(8).toInt();
    } while (QStringLiteral("threads %1").arg(threads) != before && !deadline.hasExpired());
    QCOMPARE(QStringLiteral("threads %1").arg(threads), before);
}

QTEST_GUILESS_MAIN(tst_NQNetwork)
#include "tst_NQNetwork.moc"
