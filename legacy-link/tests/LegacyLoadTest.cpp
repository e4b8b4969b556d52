#include <QtTest>

#include "../../link/tests/FakeCore.h"
#include "NQOnlinePacket.h"
#include "NQ_GET_RPCPacket.h"
#include "NQ_SET_RPCPacket.h"
#include "PacketRegistry.h"

namespace {

FakeBuilder &builder()
{
    static QLibrary library(QCoreApplication::applicationDirPath() + "/libNQCore.so");
    static const auto core = reinterpret_cast<FakeCoreFunction>(library.resolve("fakeCore"));
    return core()->builder;
}

QByteArray setCallBytes()
{
    NQ_SET_RPCPacket packet("17", "4242");
    packet.setValue("{\n    \"type\": \"show\"\n}\n");
    return packet.toByteArray();
}

} // namespace

class LegacyLoadTest : public QObject
{
    Q_OBJECT

private slots:
    void loadingRegistersTheThreePackets();
    void registeredPacketsDecode_data();
    void registeredPacketsDecode();

private:
    QLibrary legacy{QCoreApplication::applicationDirPath() + "/libNQXLink.so"};
};

void LegacyLoadTest::loadingRegistersTheThreePackets()
{
    // As a program that is done with the link leaves its data builder.
    unregisterPacketCreators();
    for (const QByteArray &payload : {setCallBytes(), NQOnlinePacket("L").toByteArray()})
        QVERIFY(builder().build(payload) == nullptr);
    builder().registrations.clear();

    QVERIFY2(legacy.load(), qPrintable(legacy.errorString()));

    const QList<QPair<QString, bool>> expected{{"NQNodeOnlinePacket", true},
                                               {"NQ_GET_RPCPacket", true},
                                               {"NQ_SET_RPCPacket", true}};
    QCOMPARE(builder().registrations, expected);
}

void LegacyLoadTest::registeredPacketsDecode_data()
{
    QTest::addColumn<bool>("unloadFirst");
    QTest::addColumn<QByteArray>("payload");

    NQ_GET_RPCPacket get(QString(), "");
    for (bool unload : {false, true}) {
        const char *when = unload ? "after unload" : "while loaded";
        QTest::addRow("set call %s", when) << unload << setCallBytes();
        QTest::addRow("get call %s", when) << unload << get.toByteArray();
        QTest::addRow("announcement %s", when) << unload << NQOnlinePacket("ab").toByteArray();
    }
}

void LegacyLoadTest::registeredPacketsDecode()
{
    QFETCH(bool, unloadFirst);
    QFETCH(QByteArray, payload);

    // The builder goes on calling the library's creators, so an unload must
    // not take their code away.
    if (unloadFirst)
        legacy.unload();
    INQData *packet = builder().build(payload);
    QVERIFY(packet != nullptr);
    QCOMPARE(packet->toByteArray(), payload);
    packet->release();
}

QTEST_GUILESS_MAIN(LegacyLoadTest)
#include "LegacyLoadTest.moc"
