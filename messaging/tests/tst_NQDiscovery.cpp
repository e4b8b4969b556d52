// Nodes in separate processes meeting through the center, whatever the
// order in which they start and announce themselves.

#include "NodeNetwork.h"

#include <QtTest>

class tst_NQDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void discovery_data();
    void discovery();
    void firstPacketOfAPeerIsDelivered_data();
    void firstPacketOfAPeerIsDelivered();

private:
    NodeNetwork net;
};

void tst_NQDiscovery::cleanup()
{
    net.finish();
}

void tst_NQDiscovery::discovery_data()
{
    QTest::addColumn<bool>("together");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<QString>("logRules");
    QTest::addColumn<int>("meetWithinMs");
    QTest::newRow("one after another") << false << QList<int>{0, 1, 2} << QString() << 60000;
    QTest::newRow("one after another, reversed") << false << QList<int>{2, 1, 0} << QString() << 60000;
    QTest::newRow("all at once, no lines for each read")
        << true << QList<int>{1, 0, 2} << QStringLiteral("nq.socket.debug=false") << 60000;
    QTest::newRow("twelve at once") << true << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11} << QString() << 15000;
}

// Whatever the order, every pair ends with exactly one direct socket: the
// node that learns of a later one connects, the later one only accepts.
// The line logged for each read can be switched off alone. A node starts
// as soon as the center takes it: at once when one is listening, and nodes
// started together meet within seconds.
void tst_NQDiscovery::discovery()
{
    QFETCH(bool, together);
    QFETCH(QList<int>, order);
    QFETCH(QString, logRules);
    QFETCH(int, meetWithinMs);
    QProcessEnvironment environment = NodeProcess::nodeEnvironment();
    if (!logRules.isEmpty())
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), logRules);
    net.launch(environment, order.size());
    QElapsedTimer sinceFirst, clock;
    sinceFirst.start();
    clock.start();
    for (int i : order) {
        net[i].command(startAndAnnounce(i));
        if (!together) {
            QVERIFY(net[i].waitForLine(QStringLiteral("started %1 1").arg(net[i].name()), 60000));
            QVERIFY2(i == order.first() || clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
            clock.start();
        }
    }
    for (int i = 0; i < net.size(); ++i)
        QVERIFY(net[i].waitForLine(QStringLiteral("started %1 1").arg(net[i].name()), 60000));
    QVERIFY(net.allMet(int(qMax<qint64>(0, meetWithinMs - sinceFirst.elapsed()))));
    QCOMPARE(net.acceptedSockets(), net.size() * (net.size() - 1) / 2);
    for (int i = 0; i < net.size(); ++i)
        QCOMPARE(net[i].countErrors(QStringLiteral("NQNodeServer::onSocketReadyRead")) > 0, logRules.isEmpty());
}

void tst_NQDiscovery::firstPacketOfAPeerIsDelivered_data()
{
    QTest::addColumn<QString>("beforeSending");
    QTest::addColumn<QString>("reportedAs");
    // Node 0 hears of node 1 by the first frame on node 1's socket, as
    // always: here its first packet.
    QTest::newRow("the sender never announced itself") << QString() << QStringLiteral("first");
    QTest::newRow("the sender announced itself just before")
        << QStringLiteral("online hello-1\n") << QStringLiteral("hello-1");
}

// Node 1 learns of node 0 through the center before it has announced itself,
// and opens its socket to node 0 with nothing to say on it. Its first packet
// on that socket is delivered all the same, and node 0 hears of node 1.
void tst_NQDiscovery::firstPacketOfAPeerIsDelivered()
{
    QFETCH(QString, beforeSending);
    QFETCH(QString, reportedAs);
    net.launch();
    net[1].command(QStringLiteral("start"));
    QVERIFY(net[1].waitForLine(QStringLiteral("started %1 1").arg(net[1].name()), 60000));
    net[0].command(startAndAnnounce(0));
    QVERIFY(net[1].waitForLine(QStringLiteral("online %1 hello-0").arg(net[0].name()), 60000));

    const QString sender = net[1].name();
    net[1].command(beforeSending + QStringLiteral("send %1 first").arg(net[0].name()));
    QVERIFY(net[0].waitForLine(QStringLiteral("data %1 first").arg(sender)));
    QCOMPARE(net[0].lines().filter(QRegularExpression(QStringLiteral("^online %1 ").arg(sender))),
             QStringList{QStringLiteral("online %1 %2").arg(sender, reportedAs)});
}

QTEST_GUILESS_MAIN(tst_NQDiscovery)
#include "tst_NQDiscovery.moc"
