#include <QCoreApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "NQXServer.h"
#include "PacketRegistry.h"
#include "ProcessProbe.h"
#include "StandinJournal.h"

using namespace StandinJournal;

// The link server against the stand-in viewer (built as the Geoscope beside
// this test): the launch token, every message of the catalogue in both
// directions, and what happens when viewers come and go.
class TestNQXServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void launchPassesTokenAndGetsWindowHandle();
    void gotoPositionReachesViewerAsStrings();
    void viewerMessages_data();
    void viewerMessages();
    void otherLinkGoingOfflineChangesNothing();
    void viewerGoingOfflineRelaunchesIt();
    void relaunchStartsExactlyOneViewer();
    void viewersEndedEarlyAreNotKeptForEver();
    void cleanupTestCase();

private:
    void record(const QString &event) { events.append(event); }
    int startedViewers() const { return find("started", 0).size(); }
    qint64 currentViewer() const
    {
        return qint64(find("started").last().value("pid").toDouble());
    }

    const QString linkName = QStringLiteral("L");
    const QString clientLink = QStringLiteral("L_Client");
    NQXServer *server = nullptr;
    QStringList events;
};

void TestNQXServer::initTestCase()
{
    QFile::remove(StandinJournal::path());
    registerPacketCreators();
    server = new NQXServer(linkName);
    connect(server, &NQXServer::winHandleReceived, this,
            [this](WId handle) { record(QStringLiteral("handle %1").arg(handle)); });
    connect(server, &NQXServer::positionReceived, this,
            [this](bool continueSend, double longitude, double latitude, double altitude) {
                record(QStringLiteral("position %1 %2 %3 %4")
                           .arg(continueSend)
                           .arg(longitude, 0, 'g', 10)
                           .arg(latitude, 0, 'g', 10)
                           .arg(altitude, 0, 'g', 10));
            });
    connect(server, &NQXServer::stopPositionReceived, this, [this] { record("stop"); });
    connect(server, &NQXServer::clientHided, this, [this] { record("hided"); });
    connect(server, &NQXServer::forceLocationChanged, this, [this] { record("force"); });
    server->upline();
    server->launchClient();
}

void TestNQXServer::launchPassesTokenAndGetsWindowHandle()
{
    const QJsonObject started = waitFor("started");
    const QJsonObject token{{"ClientLinkName", clientLink},
                            {"ServerLinkName", linkName},
                            {"ServerProcessId", QString::number(QCoreApplication::applicationPid())}};
    QCOMPARE(started.value("message").toObject(), token);

    const QJsonObject sent = waitFor("sent", 1, 0, "windowHandle");
    QVERIFY(!sent.isEmpty());
    const QString handle = sent.value("message").toObject().value("windowHandle").toString();
    QTRY_COMPARE_WITH_TIMEOUT(events, QStringList{"handle " + handle}, 10000);
}

void TestNQXServer::gotoPositionReachesViewerAsStrings()
{
    events.clear();
    server->gotoPosition(0, 1, 113.91088, 22.543854, 114.0579, 22.5431, 15000000, 90, 270.5,
                         -45, 60, 180, 10, -5, 2.5);
    const QJsonObject received = waitFor("received", 1, currentViewer(), "position");
    const QJsonObject expected{
        {"type", "position"}, {"dVerticalAngle", "0"}, {"dEOOpticalZoom", "1"},
        {"dTargetLongitude", "113.9108800"}, {"dTargetLatitude", "22.5438540"},
        {"dLongitude", "114.0579000"}, {"dLatitude", "22.5431000"},
        {"dAltitude", "15000000.0000000"}, {"dYaw", "90"}, {"dYawAbs", "270.5"},
        {"dPitch", "-45"}, {"dFov", "60"}, {"dUAVGPSDirection", "180"}, {"dUAVYaw", "10"},
        {"dUAVPitch", "-5"}, {"dUAVRoll", "2.5"}};
    QCOMPARE(received.value("message").toObject(), expected);
    // The stand-in answers with the same values as numbers.
    QTRY_COMPARE_WITH_TIMEOUT(events, (QStringList{"position 1 114.0579 22.5431 15000000", "stop"}),
                              10000);
}

void TestNQXServer::viewerMessages_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("position without continueSend")
        << clientLink << QByteArray(R"({"type":"position","dLongitude":1.5,"dLatitude":-2,"dAltitude":30})")
        << QStringList{"position 0 1.5 -2 30", "stop"};
    QTest::newRow("position continuing")
        << clientLink
        << QByteArray(R"({"type":"position","continueSend":true,"dLongitude":1,"dLatitude":2,"dAltitude":3,"dYaw":4})")
        << QStringList{"position 1 1 2 3", "stop"};
    QTest::newRow("position values as strings read as 0")
        << clientLink << QByteArray(R"({"type":"position","dLongitude":"113.5","dLatitude":"22"})")
        << QStringList{"position 0 0 0 0", "stop"};
    QTest::newRow("forceLocationChanged") << clientLink
        << QByteArray(R"({"type":"forceLocationChanged"})") << QStringList{"force"};
    QTest::newRow("window handle") << clientLink
        << QByteArray(R"({"type":"windowHandle","windowHandle":"4194307"})")
        << QStringList{"handle 4194307"};
    QTest::newRow("window handle not decimal") << clientLink
        << QByteArray(R"({"type":"windowHandle","windowHandle":"0x400003"})") << QStringList{};
    QTest::newRow("window handle as a number") << clientLink
        << QByteArray(R"({"type":"windowHandle","windowHandle":4194307})") << QStringList{};
    QTest::newRow("window handle 0") << clientLink
        << QByteArray(R"({"type":"windowHandle","windowHandle":"0"})") << QStringList{};
    QTest::newRow("type in other case") << clientLink
        << QByteArray(R"({"type":"Position","dLongitude":1})") << QStringList{};
    QTest::newRow("unknown type") << clientLink << QByteArray(R"({"type":"show"})") << QStringList{};
    QTest::newRow("no type") << clientLink << QByteArray(R"({"dLongitude":1})") << QStringList{};
    QTest::newRow("other link name") << QString("L_Other")
        << QByteArray(R"({"type":"forceLocationChanged"})") << QStringList{};
    QTest::newRow("empty link name") << QString()
        << QByteArray(R"({"type":"position","dLongitude":1})") << QStringList{};
}

void TestNQXServer::viewerMessages()
{
    QFETCH(QString, from);
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);
    events.clear();
    if (json.contains("\"windowHandle\"") && expected.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^invalid window handle: "));
    server->onClientData(from, QJsonDocument::fromJson(json).object());
    QCOMPARE(events, expected);
}

void TestNQXServer::otherLinkGoingOfflineChangesNothing()
{
    events.clear();
    const int viewersBefore = startedViewers();
    const qint64 viewer = currentViewer();
    const QJsonObject token{{"ClientLinkName", "L_Other"},
                            {"ServerLinkName", linkName},
                            {"ServerProcessId", QString::number(QCoreApplication::applicationPid())}};
    QProcess other;
    other.start(QCoreApplication::applicationDirPath() + "/Geoscope",
                {"-Geoframe", QJsonDocument(token).toJson().toBase64()});
    QVERIFY(other.waitForStarted());
    QVERIFY(!waitFor("sent", 1, other.processId(), "windowHandle").isEmpty());

    QSignalSpy offline(server, &NQXNode::nodeOffline);
    other.kill();
    QVERIFY(offline.wait(10000));
    QCOMPARE(offline.first().first().toString(), QStringLiteral("L_Other"));
    QCOMPARE(events, QStringList{});
    QCOMPARE(startedViewers(), viewersBefore + 1);
    QVERIFY(!processEnded(viewer));
}

void TestNQXServer::viewerGoingOfflineRelaunchesIt()
{
    events.clear();
    const int viewersBefore = startedViewers();
    const qint64 viewer = currentViewer();
    server->sendDataToClient({{"type", "quit"}});
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(viewer), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty(), 10000);
    QCOMPARE(events.first(), QStringLiteral("hided"));

    const QJsonObject started = waitFor("started", viewersBefore + 1);
    QVERIFY(currentViewer() != viewer);
    QCOMPARE(started.value("message").toObject().value("ClientLinkName").toString(), clientLink);
    const QJsonObject sent = waitFor("sent", 1, currentViewer(), "windowHandle");
    const QString handle = sent.value("message").toObject().value("windowHandle").toString();
    QTRY_COMPARE_WITH_TIMEOUT(events, (QStringList{"hided", "handle " + handle}), 10000);
}

void TestNQXServer::relaunchStartsExactlyOneViewer()
{
    // The linked viewer is replaced by one that never reports its window,
    // which is replaced in turn once the 30 s wait runs out. Each ended
    // viewer's offline notice comes after its successor started, under the
    // same link name, and must start nobody.
    events.clear();
    const int viewersBefore = startedViewers();
    const int handlesBefore = find("sent", 0, "windowHandle").size();
    const qint64 linked = currentViewer();
    qputenv("GEODOCK_STANDIN_SILENT", "1");
    server->launchClient();
    const qint64 silent = qint64(waitFor("started", viewersBefore + 1).value("pid").toDouble());
    qunsetenv("GEODOCK_STANDIN_SILENT");
    QVERIFY(silent != 0 && silent != linked);
    QTest::ignoreMessage(QtWarningMsg,
                         "client did not report its window within 30000 ms, launching it again");

    const QJsonObject sent = waitFor("sent", handlesBefore + 1, 0, "windowHandle", 45000);
    const QString handle = sent.value("message").toObject().value("windowHandle").toString();
    QTRY_COMPARE_WITH_TIMEOUT(events, QStringList{"handle " + handle}, 10000);
    QCOMPARE(startedViewers(), viewersBefore + 2);
    QVERIFY(processEnded(linked));
    QVERIFY(processEnded(silent));
    QVERIFY(!processEnded(currentViewer()));
}

// A viewer ended before it reached the host, as every viewer when messaging
// fails and one is started each 30 s, never reports going offline: the
// server keeps only the latest ended viewers in mind.
void TestNQXServer::viewersEndedEarlyAreNotKeptForEver()
{
    const int handlesBefore = find("sent", 0, "windowHandle").size();
    for (int i = 0; i < 20; ++i)
        server->launchClient();
    QVERIFY(!waitFor("sent", handlesBefore + 1, 0, "windowHandle").isEmpty());
    QVERIFY2(server->endedViewers.size() <= 8, qPrintable(server->endedViewers.join(", ")));
}

void TestNQXServer::cleanupTestCase()
{
    const qint64 viewer = currentViewer();
    delete server;
    unregisterPacketCreators();
    QVERIFY(processEnded(viewer));
    endCentersOfThisTest();
}

QTEST_MAIN(TestNQXServer)
#include "tst_nqxserver.moc"
