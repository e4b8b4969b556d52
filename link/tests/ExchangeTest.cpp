#include <QtTest>

#include <memory>

#include "NodeProcess.h"

namespace {

const int startTimeout = 60000;

// A link_peer process. It is not installed beside the messaging library and
// its center; the loader and the node find them through these variables.
QProcessEnvironment peerEnvironment(bool withMessaging)
{
    QProcessEnvironment env = NodeProcess::nodeEnvironment();
    if (withMessaging)
        env.insert("LD_LIBRARY_PATH", STATION_BIN_DIR);
    else
        env.remove("LD_LIBRARY_PATH");
#ifdef __SANITIZE_ADDRESS__
    // Freed memory that the address checker keeps aside would count as growth.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":quarantine_size_mb=0");
#endif
    return env;
}

std::unique_ptr<NodeProcess> launchPeer(const QStringList &arguments, bool withMessaging = true)
{
    auto peer = std::make_unique<NodeProcess>(QCoreApplication::applicationDirPath() + "/link_peer",
                                              arguments, peerEnvironment(withMessaging));
    peer->launch();
    return peer;
}

std::unique_ptr<NodeProcess> startPeer(const QStringList &arguments)
{
    auto peer = launchPeer(arguments);
    if (!peer->waitForLine("ready", startTimeout)) {
        qWarning() << "peer" << arguments << "did not start:" << peer->errors();
        return nullptr;
    }
    return peer;
}

bool quit(NodeProcess &peer)
{
    peer.command("quit");
    int exitCode = -1;
    const bool ended = peer.waitForExit(startTimeout, &exitCode) && exitCode == 0;
    if (!ended)
        qWarning() << "peer did not end cleanly:" << exitCode << peer.errors();
    return ended;
}

// The process's peak memory in MiB, as the system counts it.
int peakMiB(const QString &pid)
{
    QFile status("/proc/" + pid + "/status");
    status.open(QIODevice::ReadOnly);
    const QByteArray text = status.readAll();
    return text.mid(text.indexOf("VmHWM:") + 6).simplified().split(' ').value(0).toInt() / 1024;
}

QString legacyLibrary()
{
    return QStringLiteral(STATION_BIN_DIR "/libNQXLink.so");
}

} // namespace

class ExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void exchangeJsonByLinkName_data();
    void exchangeJsonByLinkName();
    void callsFromANodeThatNeverAnnouncedItself();
    void withoutTheMessagingLibraryTheLinkStaysDown();
    void busyLinkThreadHoldsItsBound();
};

// A center outlives its nodes; left running it would hold the single-instance
// key that a later run of this test needs.
void ExchangeTest::cleanup()
{
    killCentersOfThisTest();
}

void ExchangeTest::exchangeJsonByLinkName_data()
{
    QTest::addColumn<QStringList>("clientOptions");

    QTest::newRow("both register") << QStringList();
    QTest::newRow("client only loads the legacy library") << QStringList{"--legacy", legacyLibrary()};
    QTest::newRow("client loads it after unregistering")
        << QStringList{"--unregister", "--legacy", legacyLibrary()};
}

void ExchangeTest::exchangeJsonByLinkName()
{
    QFETCH(QStringList, clientOptions);

    auto host = startPeer({"{host}"});
    QVERIFY(host);
    auto client = startPeer(QStringList{"{host}_Client"} + clientOptions);
    QVERIFY(client);
    QVERIFY(host->waitForLine("online\t{host}_Client"));
    QVERIFY(client->waitForLine("online\t{host}"));

    host->command(R"(send {host}_Client {"type": "show", "title": "Optivane", "position": "10|20|300|200"})");
    QVERIFY(client->waitForLine("data\t{host}\t{\"position\":\"10|20|300|200\",\"title\":\"Optivane\",\"type\":\"show\"}"));
    client->command(R"(send {host} {"type": "windowHandle", "windowHandle": "4194311"})");
    QVERIFY(host->waitForLine("data\t{host}_Client\t{\"type\":\"windowHandle\",\"windowHandle\":\"4194311\"}"));

    QVERIFY(quit(*client));
    QVERIFY(host->waitForLine("offline\t{host}_Client"));
    QVERIFY(quit(*host));
}

void ExchangeTest::callsFromANodeThatNeverAnnouncedItself()
{
    // The silent node must be up before the other announces itself, or it
    // never learns of it.
    auto quiet = startPeer({"quiet", "--silent"});
    QVERIFY(quiet);
    auto receiver = startPeer({"receiver"});
    QVERIFY(receiver);
    QVERIFY(quiet->waitForLine("online\treceiver"));

    // Having no announcement of its own, the silent node's first call is
    // what the receiver takes for one, and no link comes of it; the call
    // itself arrives all the same. Calls from one peer arrive in order, so
    // what the receiver reports up to the last call is all that the calls
    // produced.
    quiet->command(R"(send receiver {"type": "first"})");
    quiet->command(R"(send receiver {"type": "position"})");
    quiet->command(R"(get receiver {"type": "show"})");
    quiet->command("set receiver {\"type\": ");
    quiet->command(R"(set receiver ["position"])");
    quiet->command(R"(send receiver {"type": "last"})");
    QVERIFY(receiver->waitForLine("data\t\t{\"type\":\"last\"}"));
    const QStringList expected{"ready", "data\t\t{\"type\":\"first\"}", "data\t\t{\"type\":\"position\"}",
                               "data\t\t{}", "data\t\t{}", "data\t\t{\"type\":\"last\"}"};
    QCOMPARE(receiver->lines(), expected);
}

void ExchangeTest::withoutTheMessagingLibraryTheLinkStaysDown()
{
    auto peer = launchPeer({"alone"}, false);
    QVERIFY(peer->waitForLine("ready", startTimeout));
    peer->command(R"(send anyone {"type": "show"})");
    QVERIFY(quit(*peer));
    QVERIFY2(peer->errors().contains("load NQCore library failed: "), "the failure was not logged");
}

// A peer sends as fast as it can to a link node whose thread is busy: what
// waits for that thread stays within the node's bound, so the sender is
// refused, and every call it accepted arrives in order once the thread is
// free again. Unbounded, the receiver grows by some 300 MB.
void ExchangeTest::busyLinkThreadHoldsItsBound()
{
    auto receiver = startPeer({"receiver"});
    QVERIFY(receiver);
    auto sender = startPeer({"sender"});
    QVERIFY(sender);
    QVERIFY(sender->waitForLine("online\treceiver"));
    const int before = peakMiB(receiver->name());

    receiver->command("busy");
    const QStringList flooded = sender->ask("flood receiver 60000 1000", "flooded", 120000).split(' ');
    const int accepted = flooded.value(0).toInt();
    QVERIFY2(flooded.value(1).toInt() > 0, qPrintable(flooded.join(' ')));
    const int growth = peakMiB(receiver->name()) - before;
    QVERIFY2(growth < 64, qPrintable(QStringLiteral("the receiver grew by %1 MiB").arg(growth)));

    receiver->command("free");
    QDeadlineTimer deadline(60000);
    QString count;
    while ((count = receiver->ask("count", "count")) != QString::number(accepted) && !deadline.hasExpired())
        receiver->collectFor(100);
    QCOMPARE(count, QString::number(accepted));
    QCOMPARE(receiver->count("out-of-order"), 0);
    QVERIFY(quit(*sender));
    QVERIFY(quit(*receiver));
}

QTEST_GUILESS_MAIN(ExchangeTest)
#include "ExchangeTest.moc"
