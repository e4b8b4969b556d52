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

QTEST_GUILESS_MAIN(ExchangeTest)
#include "ExchangeTest.moc"
