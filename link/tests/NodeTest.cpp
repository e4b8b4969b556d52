#include <QtTest>

#include <functional>
#include <memory>
#include <thread>

#include "FakeCore.h"
#include "NQCoreLibrary.h"
#include "NQOnlinePacket.h"
#include "NQXNode.h"
#include "NodeCallbackGuard.h"
#include "NQ_GET_RPCPacket.h"
#include "NQ_SET_RPCPacket.h"
#include "PacketRegistry.h"

namespace {

// A received packet that counts how often its holder releases it.
class TrackedPacket : public INQData
{
public:
    TrackedPacket(INQData *inner, int *releases) : inner(inner), releases(releases) {}
    ~TrackedPacket() override { inner->release(); }
    QString type() override { return inner->type(); }
    QByteArray toByteArray() override { return inner->toByteArray(); }
    void release() override
    {
        ++*releases;
        delete this;
    }

private:
    INQData *inner;
    int *releases;
};

INQData *setCall(const QString &value)
{
    auto *packet = new NQ_SET_RPCPacket(QStringLiteral("77"), QStringLiteral("1000"));
    packet->setValue(value);
    return packet;
}

INQData *getCall(const QString &value)
{
    auto *packet = new NQ_GET_RPCPacket(QStringLiteral("77"), QStringLiteral("1000"));
    packet->setValue(value);
    return packet;
}

// Notices come from the messaging node's own thread in the real system.
void fromDispatcher(const std::function<void()> &notice)
{
    std::thread dispatcher(notice);
    dispatcher.join();
}

FakeCore *fake()
{
    static QLibrary library(QCoreApplication::applicationDirPath() + "/libNQCore.so");
    static const auto core = reinterpret_cast<FakeCoreFunction>(library.resolve("fakeCore"));
    return core ? core() : nullptr;
}

} // namespace

using Factory = std::function<INQData *()>;
Q_DECLARE_METATYPE(Factory)

class NodeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void announcesItsLinkName();
    void receivedData_data();
    void receivedData();
    void onlineNotices_data();
    void onlineNotices();
    void sendsIndentedJsonByLinkName();
    void sameLinkNameFromTwoNodes();
    void noticesKeepTheirOrder();
    void destructionReleasesPendingPacketsAndStopsTheNode();
    void noticesAfterDetachingReachNothing();
    void registrationOrderAndRemoval();
    void missingLibraryOrEntryPointIsRefused_data();
    void missingLibraryOrEntryPointIsRefused();

private:
    std::unique_ptr<NQXNode> link;
    FakeNode *node = nullptr;
};

void NodeTest::initTestCase()
{
    QVERIFY2(fake() != nullptr, "the stand-in messaging library is not beside the test");
}

void NodeTest::init()
{
    link.reset(new NQXNode(QStringLiteral("L")));
    node = fake()->nodes.back().get();
    QVERIFY(node->callback != nullptr);
}

void NodeTest::cleanup()
{
    link.reset();
}

void NodeTest::announcesItsLinkName()
{
    link->upline();
    QCOMPARE(node->announcements, QList<QByteArray>{NQOnlinePacket("L").toByteArray()});
}

void NodeTest::receivedData_data()
{
    QTest::addColumn<bool>("peerAnnounced");
    QTest::addColumn<Factory>("packet");
    QTest::addColumn<int>("emitted");
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<QJsonObject>("object");

    const QJsonObject show{{"type", "show"}, {"title", "Optivane"}};
    const QString showText = QStringLiteral("{\"title\":\"Optivane\",\"type\":\"show\"}");
    QTest::newRow("object from a known peer")
        << true << Factory([=] { return setCall(showText); }) << 1 << "peer" << show;
    QTest::newRow("text that is no JSON")
        << true << Factory([] { return setCall("{\"type\": "); }) << 1 << "peer" << QJsonObject();
    QTest::newRow("JSON that is no object")
        << true << Factory([] { return setCall("[1, 2]"); }) << 1 << "peer" << QJsonObject();
    QTest::newRow("value never set")
        << true << Factory([] { return new NQ_SET_RPCPacket("77", "1000"); }) << 1 << "peer" << QJsonObject();
    QTest::newRow("node that never announced itself")
        << false << Factory([=] { return setCall(showText); }) << 1 << "" << show;
    QTest::newRow("get call")
        << true << Factory([=] { return getCall(showText); }) << 0 << "" << QJsonObject();
    QTest::newRow("announcement as data")
        << true << Factory([] { return new NQOnlinePacket("peer"); }) << 0 << "" << QJsonObject();
}

void NodeTest::receivedData()
{
    QFETCH(bool, peerAnnounced);
    QFETCH(Factory, packet);
    QFETCH(int, emitted);
    QFETCH(QString, linkName);
    QFETCH(QJsonObject, object);

    QSignalSpy online(link.get(), &NQXNode::nodeOnline);
    if (peerAnnounced) {
        fromDispatcher([&] { node->callback->onNodeOnline("77", new NQOnlinePacket("peer")); });
        QVERIFY(online.wait(5000));
    }

    QList<QThread *> emittedOn;
    connect(link.get(), &NQXNode::dataRecvied, this, [&] { emittedOn.append(QThread::currentThread()); },
            Qt::DirectConnection);
    QSignalSpy data(link.get(), &NQXNode::dataRecvied);
    int releases = 0;
    fromDispatcher([&] { node->callback->onNodeData("77", new TrackedPacket(packet(), &releases)); });

    QTRY_COMPARE_WITH_TIMEOUT(releases, 1, 5000);
    QCOMPARE(data.count(), emitted);
    if (emitted == 0)
        return;
    QCOMPARE(data[0][0].toString(), linkName);
    QCOMPARE(data[0][1].toJsonObject(), object);
    QCOMPARE(emittedOn, QList<QThread *>{link->thread()});
}

void NodeTest::onlineNotices_data()
{
    QTest::addColumn<Factory>("packet");
    QTest::addColumn<QStringList>("announced");

    QTest::newRow("announcement")
        << Factory([] { return new NQOnlinePacket("peer"); }) << QStringList{"peer"};
    QTest::newRow("empty link name")
        << Factory([] { return new NQOnlinePacket(""); }) << QStringList{""};
    // Whatever a foreign peer announces itself with is not taken as a link.
    QTest::newRow("set call as announcement")
        << Factory([] { return setCall("{}"); }) << QStringList();
}

void NodeTest::onlineNotices()
{
    QFETCH(Factory, packet);
    QFETCH(QStringList, announced);

    QStringList got;
    connect(link.get(), &NQXNode::nodeOnline, this, [&](QString name) { got.append(name); });
    int releases = 0;
    fromDispatcher([&] { node->callback->onNodeOnline("77", new TrackedPacket(packet(), &releases)); });
    QTRY_COMPARE_WITH_TIMEOUT(releases, 1, 5000);
    QCOMPARE(got, announced);

    // Only an announced link name reaches its node.
    link->sendData(announced.value(0, "peer"), QJsonObject{{"type", "show"}});
    QCOMPARE(node->sent.count(), announced.count());
}

void NodeTest::sendsIndentedJsonByLinkName()
{
    link->sendData("peer", QJsonObject{{"type", "show"}});
    QVERIFY2(node->sent.isEmpty(), "a link name that never came online reaches nobody");

    fromDispatcher([&] { node->callback->onNodeOnline("77", new NQOnlinePacket("peer")); });
    QSignalSpy online(link.get(), &NQXNode::nodeOnline);
    QVERIFY(online.wait(5000));
    link->sendData("peer", QJsonObject{{"type", "show"}, {"title", "Optivane"}, {"position", "10|20|300|200"}});

    QCOMPARE(node->sent.count(), 1);
    QCOMPARE(node->sent[0].first, QStringLiteral("77"));
    std::unique_ptr<INQData, void (*)(INQData *)> sent(NQ_SET_RPCPacket::create(node->sent[0].second),
                                                        [](INQData *data) { data->release(); });
    QVERIFY(sent);
    auto *call = static_cast<NQ_SET_RPCPacket *>(sent.get());
    QCOMPARE(call->from(), node->name);
    QCOMPARE(call->to(), QStringLiteral("77"));
    QCOMPARE(call->value(), QStringLiteral("{\n"
                                           "    \"position\": \"10|20|300|200\",\n"
                                           "    \"title\": \"Optivane\",\n"
                                           "    \"type\": \"show\"\n"
                                           "}\n"));
}

void NodeTest::sameLinkNameFromTwoNodes()
{
    QStringList offline;
    connect(link.get(), &NQXNode::nodeOffline, this, [&](QString name) { offline.append(name); });
    QSignalSpy online(link.get(), &NQXNode::nodeOnline);
    fromDispatcher([&] {
        node->callback->onNodeOnline("1", new NQOnlinePacket("L2"));
        node->callback->onNodeOnline("2", new NQOnlinePacket("L2"));
    });
    QTRY_COMPARE_WITH_TIMEOUT(online.count(), 2, 5000);

    link->sendData("L2", QJsonObject());
    QCOMPARE(node->sent.count(), 1);
    QCOMPARE(node->sent[0].first, QStringLiteral("2"));

    // The earlier node still names the link; its going takes the link name
    // with it, although the later node holds it.
    fromDispatcher([&] { node->callback->onNodeOffline("1"); });
    QTRY_COMPARE_WITH_TIMEOUT(offline, QStringList{"L2"}, 5000);
    link->sendData("L2", QJsonObject());
    QCOMPARE(node->sent.count(), 1);

    fromDispatcher([&] {
        node->callback->onNodeOffline("2");
        node->callback->onNodeOffline("3");
    });
    QTRY_COMPARE_WITH_TIMEOUT(offline, (QStringList{"L2", "L2", ""}), 5000);
}

void NodeTest::noticesKeepTheirOrder()
{
    QStringList seen;
    connect(link.get(), &NQXNode::nodeOnline, this, [&](QString name) { seen << "online " + name; });
    connect(link.get(), &NQXNode::dataRecvied, this,
            [&](QString name, QJsonObject json) { seen << "data " + name + " " + json["n"].toString(); });
    connect(link.get(), &NQXNode::nodeOffline, this, [&](QString name) { seen << "offline " + name; });

    fromDispatcher([&] {
        node->callback->onNodeOnline("5", new NQOnlinePacket("A"));
        for (int n = 0; n < 3; ++n)
            node->callback->onNodeData("5", setCall(QString("{\"n\": \"%1\"}").arg(n)));
        node->callback->onNodeOffline("5");
    });
    const QStringList expected{"online A", "data A 0", "data A 1", "data A 2", "offline A"};
    QTRY_COMPARE_WITH_TIMEOUT(seen, expected, 5000);
}

void NodeTest::destructionReleasesPendingPacketsAndStopsTheNode()
{
    int releases = 0;
    QSignalSpy data(link.get(), &NQXNode::dataRecvied);
    fromDispatcher([&] {
        node->callback->onNodeOnline("5", new TrackedPacket(new NQOnlinePacket("A"), &releases));
        node->callback->onNodeData("5", new TrackedPacket(setCall("{}"), &releases));
    });
    link.reset();

    QCOMPARE(releases, 2);
    QCOMPARE(data.count(), 0);
    QCOMPARE(node->calls, (QStringList{"stop", "release"}));
    // Nothing left queued may run into the destroyed object.
    QCoreApplication::processEvents();
}

void NodeTest::noticesAfterDetachingReachNothing()
{
    NodeCallbackGuard guard(link.get());
    QSignalSpy online(link.get(), &NQXNode::nodeOnline);
    QSignalSpy offline(link.get(), &NQXNode::nodeOffline);
    guard.detach();

    int releases = 0;
    fromDispatcher([&] {
        guard.onNodeOnline("5", new TrackedPacket(new NQOnlinePacket("A"), &releases));
        guard.onNodeData("5", new TrackedPacket(setCall("{}"), &releases));
        guard.onNodeOffline("5");
    });
    QCOMPARE(releases, 2);
    QCoreApplication::processEvents();
    QCOMPARE(online.count() + offline.count(), 0);
}

void NodeTest::registrationOrderAndRemoval()
{
    FakeBuilder &builder = fake()->builder;
    const QList<QByteArray> payloads{NQ_GET_RPCPacket("1", "2").toByteArray(),
                                     NQ_SET_RPCPacket("1", "2").toByteArray(),
                                     NQOnlinePacket("L").toByteArray()};
    const QStringList names{"NQ_GET_RPCPacket", "NQ_SET_RPCPacket", "NQNodeOnlinePacket"};

    for (bool registering : {true, false}) {
        builder.registrations.clear();
        registering ? registerPacketCreators() : unregisterPacketCreators();
        QList<QPair<QString, bool>> expected;
        for (const QString &name : names)
            expected.append(qMakePair(name, registering));
        QCOMPARE(builder.registrations, expected);

        for (int i = 0; i < payloads.count(); ++i) {
            INQData *packet = builder.build(payloads[i]);
            QCOMPARE(packet != nullptr, registering);
            if (packet) {
                QCOMPARE(packet->type(), names[i]);
                packet->release();
            }
        }
    }
}

void NodeTest::missingLibraryOrEntryPointIsRefused_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("no such library") << QDir::temp().filePath("missing/libNQCore.so");
    // A real library, but one without the entry point.
    QTest::newRow("no getNQCore") << QLibraryInfo::location(QLibraryInfo::LibrariesPath) + "/libQt5Test.so.5";
}

void NodeTest::missingLibraryOrEntryPointIsRefused()
{
    QFETCH(QString, fileName);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^load NQCore library failed:  \".+\"$"));
    NQCoreLibrary library(fileName);
    QVERIFY(library.core == nullptr);
}

QTEST_GUILESS_MAIN(NodeTest)
#include "NodeTest.moc"
