#include <QtTest>

#include <memory>

namespace {

const int startTimeout = 60000;
const int deliveryTimeout = 15000;

// One link_peer process and the lines it has reported so far.
class Peer
{
public:
    Peer(const QStringList &arguments, bool withMessaging = true)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (withMessaging) {
            // The helper is not installed beside the messaging library and
            // its center; the loader and the node find them this way.
            env.insert("LD_LIBRARY_PATH", STATION_BIN_DIR);
            env.insert("PATH", QString(STATION_BIN_DIR) + ":" + env.value("PATH"));
        } else {
            env.remove("LD_LIBRARY_PATH");
        }
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QCoreApplication::applicationDirPath() + "/link_peer", arguments);
    }

    ~Peer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Written out at once: waiting on another peer does not run this
    // process object's write buffer.
    void command(const QString &line)
    {
        process.write(line.toUtf8() + '\n');
        process.waitForBytesWritten(deliveryTimeout);
    }

    // Waits until the peer has reported the line; the lines before it are
    // consumed and kept in skipped, so a later wait only sees what came after.
    bool expect(const QString &line, int timeout = deliveryTimeout)
    {
        skipped.clear();
        QDeadlineTimer deadline(timeout);
        forever {
            collect();
            const int at = lines.indexOf(line);
            if (at >= 0) {
                skipped = lines.mid(0, at);
                lines = lines.mid(at + 1);
                return true;
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                break;
            process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        }
        qWarning() << "expected" << line << "but had" << lines << process.readAllStandardError();
        return false;
    }

    QStringList pending()
    {
        collect();
        return lines;
    }

    bool quit()
    {
        command("quit");
        return process.waitForFinished(startTimeout) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
    }

    QString errors() { return QString::fromLocal8Bit(process.readAllStandardError()); }

    QStringList skipped;

private:
    void collect()
    {
        while (process.canReadLine())
            lines.append(QString::fromUtf8(process.readLine()).chopped(1));
    }

    QProcess process;
    QStringList lines;
};

std::unique_ptr<Peer> startPeer(const QStringList &arguments)
{
    auto peer = std::make_unique<Peer>(arguments);
    if (!peer->expect("ready", startTimeout))
        return nullptr;
    return peer;
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
    void exchangeJsonByLinkName_data();
    void exchangeJsonByLinkName();
    void callsFromANodeThatNeverAnnouncedItself();
    void withoutTheMessagingLibraryTheLinkStaysDown();
};

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
    QVERIFY(host->expect("online\t{host}_Client"));
    QVERIFY(client->expect("online\t{host}"));

    host->command(R"(send {host}_Client {"type": "show", "title": "Optivane", "position": "10|20|300|200"})");
    QVERIFY(client->expect("data\t{host}\t{\"position\":\"10|20|300|200\",\"title\":\"Optivane\",\"type\":\"show\"}"));
    client->command(R"(send {host} {"type": "windowHandle", "windowHandle": "4194311"})");
    QVERIFY(host->expect("data\t{host}_Client\t{\"type\":\"windowHandle\",\"windowHandle\":\"4194311\"}"));

    QVERIFY(client->quit());
    QVERIFY(host->expect("offline\t{host}_Client"));
    QVERIFY(host->quit());
}

void ExchangeTest::callsFromANodeThatNeverAnnouncedItself()
{
    // The silent node must be up before the other announces itself, or it
    // never learns of it.
    auto quiet = startPeer({"quiet", "--silent"});
    QVERIFY(quiet);
    auto receiver = startPeer({"receiver"});
    QVERIFY(receiver);
    QVERIFY(quiet->expect("online\treceiver"));

    // Having no announcement of its own, the silent node's first call is
    // what the receiver takes for one: no link comes of it.
    quiet->command(R"(send receiver {"type": "first"})");
    quiet->command(R"(send receiver {"type": "position"})");
    QVERIFY(receiver->expect("data\t\t{\"type\":\"position\"}"));
    QCOMPARE(receiver->skipped, QStringList());

    // Calls from one peer arrive in order: what the receiver reports before
    // the last one is all that the calls before it produced.
    quiet->command(R"(get receiver {"type": "show"})");
    quiet->command("set receiver {\"type\": ");
    quiet->command(R"(set receiver ["position"])");
    quiet->command(R"(send receiver {"type": "last"})");
    QVERIFY(receiver->expect("data\t\t{\"type\":\"last\"}"));
    QCOMPARE(receiver->skipped, (QStringList{"data\t\t{}", "data\t\t{}"}));
}

void ExchangeTest::withoutTheMessagingLibraryTheLinkStaysDown()
{
    Peer peer({"alone"}, false);
    QVERIFY(peer.expect("ready", startTimeout));
    peer.command(R"(send anyone {"type": "show"})");
    QVERIFY(peer.quit());
    QVERIFY2(peer.errors().contains("load NQCore library failed: "), "the failure was not logged");
}

QTEST_GUILESS_MAIN(ExchangeTest)
#include "ExchangeTest.moc"
