#include <QtTest>
#include <QJsonDocument>

#include "NQXClient.h"
#include "PacketRegistry.h"
#include "PositionRecord.h"
#include "StandInHost.h"

using PositionRecord::doubles;
using PositionRecord::record;

namespace {

// The position record's keys as they travel on the link, in record order.
const QStringList positionKeys{
    "dVerticalAngle", "dEOOpticalZoom", "dTargetLongitude", "dTargetLatitude", "dLongitude",
    "dLatitude",      "dAltitude",      "dYaw",             "dYawAbs",         "dPitch",
    "dFov",           "dUAVGPSDirection", "dUAVYaw",        "dUAVPitch",       "dUAVRoll"};

const WId kWindowHandle = 0x5a0001;

} // namespace

class NQXClientTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void clientHandsItsWindowToTheHost();
    void showMessages_data();
    void showMessages();
    void positionMessages_data();
    void positionMessages();
    void requestsTravelToTheHost();
    void anotherHostIsIgnored();

private:
    QJsonObject nextMessageFromClient();

    StandInHost *m_host = nullptr;
    NQXClient *m_client = nullptr;
};

void NQXClientTest::initTestCase()
{
    registerPacketCreators();
    m_host = new StandInHost;
    QVERIFY(m_host->started());
    const QJsonObject token = m_host->token();
    QCOMPARE(token.value("ClientLinkName").toString(),
             token.value("ServerLinkName").toString() + "_Client");
    m_client = new NQXClient(kWindowHandle, token.value("ClientLinkName").toString(),
                             token.value("ServerLinkName").toString(), nullptr);
    m_client->upline();
    // Everything below needs the link up; without it, fail here at once
    // rather than wait out every exchange.
    QVERIFY2(!m_host->waitForLine("online " + token.value("ClientLinkName").toString()).isNull(),
             "the host never saw the client: the messaging center was not reached");
}

void NQXClientTest::cleanupTestCase()
{
    // The client goes first: the host's node going offline would end the
    // process that holds a live client, as it ends the viewer.
    delete m_client;
    delete m_host;
}

QJsonObject NQXClientTest::nextMessageFromClient()
{
    return m_host->waitForMessage();
}

void NQXClientTest::clientHandsItsWindowToTheHost()
{
    // The host's announcement reaches the client, which answers with its
    // window: as a decimal string, which the host reads back to a handle.
    const QJsonObject message = nextMessageFromClient();
    QCOMPARE(message.value("type").toString(), QString("windowHandle"));
    QVERIFY(message.value("windowHandle").isString());
    QCOMPARE(message.value("windowHandle").toString(), QString::number(kWindowHandle));
}

void NQXClientTest::showMessages_data()
{
    QTest::addColumn<QJsonObject>("message");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QVariantList>("geometry");

    auto show = [](const char *type, const char *position) {
        return QJsonObject{{"type", type}, {"title", "Optivane"}, {"position", position}};
    };
    QTest::newRow("x|y|w|h") << show("show", "10|20|300|200") << true
                             << QVariantList{10, 20, 300, 200};
    QTest::newRow("empty part") << show("show", "10||300|200") << true
                                << QVariantList{10, 0, 300, 200};
    QTest::newRow("not a number") << show("show", "10|abc|300|200") << true
                                  << QVariantList{10, 0, 300, 200};
    QTest::newRow("three parts") << show("show", "10|20|300") << false << QVariantList{};
    QTest::newRow("no position") << QJsonObject{{"type", "show"}, {"title", "T"}} << false
                                 << QVariantList{};
    QTest::newRow("other case") << show("Show", "10|20|300|200") << false << QVariantList{};
    QTest::newRow("location") << show("location", "10|20|300|200") << false << QVariantList{};
}

void NQXClientTest::showMessages()
{
    QFETCH(QJsonObject, message);
    QFETCH(bool, shown);
    QFETCH(QVariantList, geometry);

    QSignalSpy windowShow(m_client, &NQXClient::windowShow);
    if (message.value("type") == "show" && !shown)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("show message without four"));
    m_host->send(message);
    // Messages keep their order, so once this one is through the one
    // before has been handled.
    const QJsonObject marker{{"type", "show"}, {"title", "marker"}, {"position", "1|2|3|4"}};
    m_host->send(marker);
    QTRY_VERIFY_WITH_TIMEOUT(!windowShow.isEmpty() && windowShow.last()[0].toString() == "marker", 20000);

    QCOMPARE(windowShow.count(), shown ? 2 : 1);
    if (shown) {
        QCOMPARE(windowShow[0][0].toString(), message.value("title").toString());
        QCOMPARE(windowShow[0].mid(1), geometry);
    }
}

void NQXClientTest::positionMessages_data()
{
    QTest::addColumn<QJsonObject>("message");
    QTest::addColumn<QVariantList>("expected");

    QJsonObject strings{{"type", "position"}};
    QJsonObject numbers{{"type", "position"}};
    QMap<int, double> all;
    for (int i = 0; i < positionKeys.size(); ++i) {
        all[i] = 100.5 + i;
        strings.insert(positionKeys[i], QString::number(100.5 + i, 'f', 7));
        numbers.insert(positionKeys[i], 100.5 + i);
    }
    QTest::newRow("every value as text") << strings << record(all);
    QTest::newRow("numbers read as 0") << numbers << record({});
    QTest::newRow("only dLongitude")
        << QJsonObject{{"type", "position"}, {"dLongitude", "113.5"}} << record({{4, 113.5}});
    QTest::newRow("text that is no number")
        << QJsonObject{{"type", "position"}, {"dLatitude", "north"}, {"dYaw", "1e3"}}
        << record({{7, 1000.0}});
}

void NQXClientTest::positionMessages()
{
    QFETCH(QJsonObject, message);
    QFETCH(QVariantList, expected);

    QSignalSpy position(m_client, &NQXClient::positionChanged);
    QSignalSpy stop(m_client, &NQXClient::stopPositionChanged);
    m_host->send(message);
    QVERIFY(stop.wait(20000) || stop.count() == 1);
    QCOMPARE(position.count(), 1);
    QCOMPARE(doubles(position[0]), expected);
    QCOMPARE(doubles(stop[0]), expected);
}

void NQXClientTest::requestsTravelToTheHost()
{
    m_client->sendPosition(false, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    QJsonObject message = nextMessageFromClient();
    QCOMPARE(message.value("type").toString(), QString("position"));
    QCOMPARE(message.value("continueSend"), QJsonValue(false));
    QCOMPARE(message.size(), 17);
    for (const QString &key : positionKeys) {
        QVERIFY2(message.value(key).isDouble(), qPrintable(key));
        QCOMPARE(message.value(key).toDouble(), 0.0);
    }

    m_client->sendPosition(true, 1, 2, 3, 4, 113.91088, 22.543854, 120, 8, 9, 10, 11, 12, 13, 14, 15);
    message = nextMessageFromClient();
    QCOMPARE(message.value("continueSend"), QJsonValue(true));
    QCOMPARE(message.value("dLongitude").toDouble(), 113.91088);
    QCOMPARE(message.value("dUAVRoll").toDouble(), 15.0);

    m_client->sendForceLocationChanged();
    QCOMPARE(nextMessageFromClient(), QJsonObject({{"type", "forceLocationChanged"}}));
}

void NQXClientTest::anotherHostIsIgnored()
{
    StandInHost other({m_host->token().value("ClientLinkName").toString()});
    QVERIFY(other.started());
    const QString otherLink = other.token().value("ServerLinkName").toString();
    // The client greets only its own host.
    const QString clientLink = m_host->token().value("ClientLinkName").toString();
    QVERIFY(!other.waitForLine("online " + clientLink).isNull());

    QSignalSpy windowShow(m_client, &NQXClient::windowShow);
    QSignalSpy offline(m_client, &NQXClient::nodeOffline);
    other.send({{"type", "show"}, {"title", "other"}, {"position", "1|2|3|4"}});
    m_host->send({{"type", "show"}, {"title", "own"}, {"position", "1|2|3|4"}});
    QTRY_VERIFY_WITH_TIMEOUT(!windowShow.isEmpty(), 20000);

    other.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!offline.isEmpty(), 30000);
    QCOMPARE(offline[0][0].toString(), otherLink);
    QCOMPARE(windowShow.count(), 1);
    QCOMPARE(windowShow[0][0].toString(), QString("own"));
    // Still here: only the own host's going away ends the viewer.
    m_client->sendForceLocationChanged();
    QCOMPARE(nextMessageFromClient().value("type").toString(), QString("forceLocationChanged"));
}

QTEST_GUILESS_MAIN(NQXClientTest)

#include "tst_nqxclient.moc"
