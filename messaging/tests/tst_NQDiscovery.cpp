// Nodes in separate processes meeting through the center, whatever the
// order in which they start.

#include "NodeNetwork.h"

#include <QtTest>

class tst_NQDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void discovery_data();
    void discovery();

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
    QTest::newRow("one after another") << false << QList<int>{0, 1, 2} << QString();
    QTest::newRow("one after another, reversed") << false << QList<int>{2, 1, 0} << QString();
    QTest::newRow("all at once, no lines for each read")
        << true << QList<int>{1, 0, 2} << QStringLiteral("nq.socket.debug=false");
}

// Whatever the order, every pair ends with exactly one direct socket: the
// node that learns of a later one connects, the later one only accepts.
// The line logged for each read can be switched off alone.
void tst_NQDiscovery::discovery()
{
    QFETCH(bool, together);
    QFETCH(QList<int>, order);
    QFETCH(QString, logRules);
    QProcessEnvironment environment = NodeProcess::nodeEnvironment();
    if (!logRules.isEmpty())
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), logRules);
    net.launch(environment);
    for (int i : order) {
        net[i].command(startAndAnnounce(i));
        if (!together)
            QVERIFY(net[i].waitForLine(QStringLiteral("started %1 1").arg(net[i].name()), 60000));
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY(net[i].waitForLine(QStringLiteral("started %1 1").arg(net[i].name()), 60000));
    QVERIFY(net.allMet());
    QCOMPARE(net.acceptedSockets(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(net[i].countErrors(QStringLiteral("NQNodeServer::onSocketReadyRead")) > 0, logRules.isEmpty());
}

QTEST_GUILESS_MAIN(tst_NQDiscovery)
#include "tst_NQDiscovery.moc"
