#include <QtTest>

#include <memory>

#include "NQOnlinePacket.h"
#include "NQ_GET_RPCPacket.h"
#include "NQ_SET_RPCPacket.h"

namespace {

using Creator = INQData *(*)(QByteArray);

struct Released
{
    void operator()(INQData *data) const { data->release(); }
};
using Packet = std::unique_ptr<INQData, Released>;

// The UTF-16BE text of the wire's type names, spelled out so that a wrong
// name or byte order cannot hide behind the code under test.
const char *const onlineName = "004e0051004e006f00640065004f006e006c0069006e0065005000610063006b00650074";
const char *const setName = "004e0051005f005300450054005f005200500043005000610063006b00650074";

QByteArray hex(const QByteArray &text)
{
    return QByteArray::fromHex(text);
}

QByteArray setCallBytes(const QString &from, const QString &to, const QString &value, bool valueSet = true)
{
    NQ_SET_RPCPacket packet(from, to);
    if (valueSet)
        packet.setValue(value);
    return packet.toByteArray();
}

QByteArray getCallBytes(const QString &from, const QString &to, const QString &value)
{
    NQ_GET_RPCPacket packet(from, to);
    packet.setValue(value);
    return packet.toByteArray();
}

QByteArray onlineBytes(const QString &linkName)
{
    return NQOnlinePacket(linkName).toByteArray();
}

} // namespace

class PacketTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutOnWire_data();
    void layoutOnWire();
    void roundTripKeepsNullAndEmptyApart_data();
    void roundTripKeepsNullAndEmptyApart();
    void creatorsRejectOtherBytes_data();
    void creatorsRejectOtherBytes();
    void damagedPayloadsGiveEmptyFields_data();
    void damagedPayloadsGiveEmptyFields();
};

void PacketTest::layoutOnWire_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("online ab is 48 bytes")
        << onlineBytes("ab")
        << hex(QByteArray("00000024") + onlineName + "00000004" + "00610062");
    QTest::newRow("value never set is null")
        << setCallBytes("1", "2", QString(), false)
        << hex(QByteArray("00000020") + setName + "00000002 0031" + "00000002 0032" + "ffffffff");
    QTest::newRow("empty value")
        << setCallBytes("1", "2", QStringLiteral(""))
        << hex(QByteArray("00000020") + setName + "00000002 0031" + "00000002 0032" + "00000000");
    QTest::newRow("value beyond latin-1")
        << setCallBytes(QString(), QStringLiteral(""), QString::fromUtf8("\xc3\xa9\xe4\xb8\xad"))
        << hex(QByteArray("00000020") + setName + "ffffffff" + "00000000" + "00000004 00e9 4e2d");
}

void PacketTest::layoutOnWire()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
}

void PacketTest::roundTripKeepsNullAndEmptyApart_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("value");

    QTest::newRow("all null") << QString() << QString() << QString();
    QTest::newRow("all empty") << QStringLiteral("") << QStringLiteral("") << QStringLiteral("");
    QTest::newRow("mixed") << QStringLiteral("4242") << QString() << QStringLiteral("");
    QTest::newRow("json text") << QStringLiteral("17") << QStringLiteral("4242")
                               << QStringLiteral("{\n    \"type\": \"show\"\n}\n");
}

void PacketTest::roundTripKeepsNullAndEmptyApart()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, value);

    const auto sameText = [](const QString &got, const QString &sent) {
        return got == sent && got.isNull() == sent.isNull();
    };

    const Packet set(NQ_SET_RPCPacket::create(setCallBytes(from, to, value)));
    QVERIFY(set);
    QCOMPARE(set->type(), QStringLiteral("NQ_SET_RPCPacket"));
    auto *setCall = static_cast<NQ_SET_RPCPacket *>(set.get());
    QVERIFY(sameText(setCall->from(), from));
    QVERIFY(sameText(setCall->to(), to));
    QVERIFY(sameText(setCall->value(), value));

    const Packet get(NQ_GET_RPCPacket::create(getCallBytes(from, to, value)));
    QVERIFY(get);
    QCOMPARE(get->type(), QStringLiteral("NQ_GET_RPCPacket"));
    QVERIFY(sameText(static_cast<NQ_GET_RPCPacket *>(get.get())->value(), value));

    const Packet online(NQOnlinePacket::create(onlineBytes(value)));
    QVERIFY(online);
    QCOMPARE(online->type(), QStringLiteral("NQNodeOnlinePacket"));
    QVERIFY(sameText(static_cast<NQOnlinePacket *>(online.get())->linkName(), value));
}

void PacketTest::creatorsRejectOtherBytes_data()
{
    QTest::addColumn<void *>("creator");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray set = setCallBytes("1", "2", "{}");
    const QByteArray get = getCallBytes("1", "2", "{}");
    const QByteArray online = onlineBytes("L");
    const auto creator = [](Creator c) { return reinterpret_cast<void *>(c); };

    QTest::newRow("set reads get") << creator(&NQ_SET_RPCPacket::create) << get;
    QTest::newRow("set reads online") << creator(&NQ_SET_RPCPacket::create) << online;
    QTest::newRow("get reads set") << creator(&NQ_GET_RPCPacket::create) << set;
    QTest::newRow("get reads online") << creator(&NQ_GET_RPCPacket::create) << online;
    QTest::newRow("online reads set") << creator(&NQOnlinePacket::create) << set;
    QTest::newRow("online reads get") << creator(&NQOnlinePacket::create) << get;
    const QList<QPair<const char *, Creator>> all{{"set", &NQ_SET_RPCPacket::create},
                                                  {"get", &NQ_GET_RPCPacket::create},
                                                  {"online", &NQOnlinePacket::create}};
    for (const auto &[name, c] : all) {
        QTest::addRow("%s reads empty bytes", name) << creator(c) << QByteArray();
        QTest::addRow("%s reads a cut type name", name) << creator(c) << set.left(20);
    }
    // The name in another letter case, which an exact comparison refuses.
    QTest::newRow("online reads NQNodeonlinePacket") << creator(&NQOnlinePacket::create)
        << hex(QByteArray("00000024") + onlineName).replace(char(0x4f), char(0x6f));
}

void PacketTest::creatorsRejectOtherBytes()
{
    QFETCH(void *, creator);
    QFETCH(QByteArray, bytes);
    const Packet packet(reinterpret_cast<Creator>(creator)(bytes));
    QVERIFY(!packet);
}

void PacketTest::damagedPayloadsGiveEmptyFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields"); // from, to, value

    const QByteArray full = setCallBytes("12", "34", "{}");
    const QByteArray type = full.left(4 + 32);
    QTest::newRow("only the type") << type << QStringList{"", "", ""};
    QTest::newRow("count of from cut") << full.left(4 + 32 + 2) << QStringList{"", "", ""};
    QTest::newRow("text of to cut") << full.left(4 + 32 + 8 + 6) << QStringList{"12", "", ""};
    QTest::newRow("last byte missing") << full.chopped(1) << QStringList{"12", "34", ""};
    QTest::newRow("odd count in from")
        << type + hex("00000003 003100 00000002 0034 00000002 0039")
        << QStringList{"", "", ""};
    QTest::newRow("odd count in value")
        << type + hex("00000002 0031 00000002 0032 00000001 00")
        << QStringList{"1", "2", ""};
}

void PacketTest::damagedPayloadsGiveEmptyFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);

    const Packet packet(NQ_SET_RPCPacket::create(bytes));
    QVERIFY(packet);
    auto *call = static_cast<NQ_SET_RPCPacket *>(packet.get());
    const QStringList got{call->from(), call->to(), call->value()};
    QCOMPARE(got, fields);
    for (const QString &field : got)
        QVERIFY2(!field.isNull(), "a damaged field reads as empty, never as null");
}

QTEST_APPLESS_MAIN(PacketTest)
#include "PacketTest.moc"
