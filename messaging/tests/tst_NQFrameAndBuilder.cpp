// In-process checks of the wire frame, the receive buffer, the packet
// registry and the library's entry points.

#include "INQCore.h"
#include "NQDataBuilder.h"
#include "NQFrame.h"
#include "NQFrameReader.h"
#include "NQTestPacket.h"

#include <QtTest>

using Chunks = QList<QByteArray>;

namespace {

QByteArray frameOf(const QString &name, const QByteArray &payload)
{
    return NQFrame::encode(name, payload);
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray packetBytes(const QString &type, const QString &text)
{
    return NQTestPacket(text, type).toByteArray();
}

} // namespace

class tst_NQFrameAndBuilder : public QObject
{
    Q_OBJECT

private slots:
    void frameBytes_data();
    void frameBytes();
    void reader_data();
    void reader();
    void builder_data();
    void builder();
    void creatorMayRegisterWhileBuilding();
    void libraryEntryPoints();
};

void tst_NQFrameAndBuilder::frameBytes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("node 4242, three bytes") << QStringLiteral("4242") << QByteArray("\x01\x02\x03")
        << QByteArray::fromHex("00000008" "0034003200340032" "00000003" "010203");
    QTest::newRow("null name and payload") << QString() << QByteArray()
        << QByteArray::fromHex("ffffffff" "ffffffff");
}

void tst_NQFrameAndBuilder::frameBytes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    QCOMPARE(frameOf(name, payload), expected);
}

void tst_NQFrameAndBuilder::reader_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<QByteArray>>("payloads");
    QTest::addColumn<bool>("oversized");

    const QByteArray a = frameOf(QStringLiteral("4242"), "first");
    const QByteArray b = frameOf(QStringLiteral("77"), "second");
    const QByteArray c = frameOf(QStringLiteral("5"), QByteArray(3000, 'x'));
    Chunks bytewise;
    for (char byte : a + b)
        bytewise << QByteArray(1, byte);
    const QByteArray abc = a + b + c;

    QTest::newRow("one frame, one read") << Chunks{a} << QStringList{"4242"}
        << QList<QByteArray>{"first"} << false;
    QTest::newRow("two frames byte by byte") << bytewise << QStringList{"4242", "77"}
        << QList<QByteArray>{"first", "second"} << false;
    QTest::newRow("three frames in one read") << Chunks{abc} << QStringList{"4242", "77", "5"}
        << QList<QByteArray>{"first", "second", QByteArray(3000, 'x')} << false;
    QTest::newRow("cut inside a count and inside a payload")
        << Chunks{abc.left(a.size() + 2), abc.mid(a.size() + 2, 30), abc.mid(a.size() + 32)}
        << QStringList{"4242", "77", "5"}
        << QList<QByteArray>{"first", "second", QByteArray(3000, 'x')} << false;
    QTest::newRow("partial frame waits") << Chunks{a + b.left(b.size() - 1)} << QStringList{"4242"}
        << QList<QByteArray>{"first"} << false;
    QTest::newRow("null fields read as empty") << Chunks{bigEndian32(0xFFFFFFFF) + bigEndian32(0xFFFFFFFF)}
        << QStringList{QString()} << QList<QByteArray>{QByteArray()} << false;
    QTest::newRow("name of 1 KiB is accepted") << Chunks{frameOf(QString(512, 'n'), "p")}
        << QStringList{QString(512, 'n')} << QList<QByteArray>{"p"} << false;
    QTest::newRow("name over 1 KiB, known from its count") << Chunks{a, bigEndian32(1026), b}
        << QStringList{"4242"} << QList<QByteArray>{"first"} << true;
    QTest::newRow("payload over 16 MiB, known from its count")
        << Chunks{bigEndian32(2) + QByteArray("\0x", 2) + bigEndian32(16 * 1024 * 1024 + 1)}
        << QStringList{} << QList<QByteArray>{} << true;
}

// Every complete frame comes out, in order, however the bytes were cut;
// a partial one waits; a count beyond the limits ends the reading.
void tst_NQFrameAndBuilder::reader()
{
    QFETCH(Chunks, chunks);
    QFETCH(QStringList, names);
    QFETCH(QList<QByteArray>, payloads);
    QFETCH(bool, oversized);

    NQFrameReader reader;
    QStringList gotNames;
    QList<QByteArray> gotPayloads;
    for (const QByteArray &chunk : chunks) {
        reader.append(chunk);
        for (NQFrame frame; reader.next(&frame);) {
            gotNames << frame.name();
            gotPayloads << frame.payload();
            QCOMPARE(QByteArray(frame.data(), frame.size()), frameOf(frame.name(), frame.payload()));
        }
    }
    QCOMPARE(gotNames, names);
    QCOMPARE(gotPayloads, payloads);
    QCOMPARE(reader.oversized(), oversized);
}

void tst_NQFrameAndBuilder::builder_data()
{
    QTest::addColumn<QStringList>("registered");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("built");

    const QByteArray test = packetBytes(QStringLiteral("NQTestPacket"), QStringLiteral("hi"));
    QTest::newRow("known type") << QStringList{"NQTestPacket=first"} << test << "first";
    QTest::newRow("unknown type") << QStringList{"NQOther=first"} << test << QString();
    QTest::newRow("type names compare exactly") << QStringList{"nqtestpacket=first"} << test << QString();
    QTest::newRow("empty creator removes the type") << QStringList{"NQTestPacket=first", "NQTestPacket="}
        << test << QString();
    QTest::newRow("second registration wins") << QStringList{"NQTestPacket=first", "NQTestPacket=second"}
        << test << "second";
    QTest::newRow("empty bytes, no empty name") << QStringList{"NQTestPacket=first"} << QByteArray() << QString();
    QTest::newRow("empty bytes, empty name registered") << QStringList{"=empty"} << QByteArray() << "empty";
    QTest::newRow("creator refuses") << QStringList{"NQTestPacket=null"} << test << QString();
    // What a data stream reads as an empty name.
    QTest::newRow("null name") << QStringList{"=empty"} << bigEndian32(0xFFFFFFFF) + test << "empty";
    QTest::newRow("odd name count") << QStringList{"=empty", "N=n"} << bigEndian32(1) + QByteArray("\0N", 2) << "empty";
    QTest::newRow("name count beyond the bytes") << QStringList{"=empty", "N=n"} << bigEndian32(4) + QByteArray("\0N", 2)
        << "empty";
}

// Each registration "type=tag" installs a creator that answers with a packet
// carrying the tag and checks it was handed the whole payload.
void tst_NQFrameAndBuilder::builder()
{
    QFETCH(QStringList, registered);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, built);

    NQDataBuilder builder;
    for (const QString &entry : registered) {
        const QString type = entry.section(QLatin1Char('='), 0, 0);
        const QString tag = entry.section(QLatin1Char('='), 1);
        NQDataBuilder::Creator creator;
        if (!tag.isEmpty()) {
            creator = [tag, bytes](QByteArray received) -> INQData * {
                if (tag == QLatin1String("null") || received != bytes)
                    return nullptr;
                return new NQTestPacket(tag);
            };
        }
        QVERIFY(builder.registerBuilder(type, creator));
    }
    INQData *packet = builder.build(bytes);
    QCOMPARE(packet ? static_cast<NQTestPacket *>(packet)->text : QString(), built);
    if (packet)
        packet->release();
}

// Creators are user code; one that touches the registry must not deadlock.
void tst_NQFrameAndBuilder::creatorMayRegisterWhileBuilding()
{
    NQDataBuilder builder;
    builder.registerBuilder(QStringLiteral("NQTestPacket"), [&builder](QByteArray bytes) {
        builder.registerBuilder(QStringLiteral("NQLater"), &NQTestPacket::create);
        return NQTestPacket::create(bytes);
    });
    INQData *packet = builder.build(packetBytes(QStringLiteral("NQTestPacket"), QStringLiteral("ok")));
    QVERIFY(packet);
    packet->release();
}

void tst_NQFrameAndBuilder::libraryEntryPoints()
{
    QLibrary library(QStringLiteral(STATION_BIN_DIR "/libNQCore.so"));
    auto getCore = reinterpret_cast<GetNQCoreFunction>(library.resolve("getNQCore"));
    QVERIFY2(getCore, qPrintable(library.errorString()));
    QVERIFY(library.resolve("launchCenter"));
    INQCore *core = getCore();
    QCOMPARE(getCore(), core);
    INQDataBuilder *builder = core->getDataBuilder();
    QVERIFY(builder);
    QCOMPARE(core->getDataBuilder(), builder);
    INQNode *first = core->createNode();
    INQNode *second = core->createNode();
    QVERIFY(first != second);
    first->release();
    second->release();

    // The library carries the center program's file unchanged.
    QFile embedded(QStringLiteral(":/bin/Resources/NQCenter.exe"));
    QFile program(QStringLiteral(STATION_BIN_DIR "/NQCenter"));
    QVERIFY(embedded.open(QIODevice::ReadOnly));
    QVERIFY(program.open(QIODevice::ReadOnly));
    QCOMPARE(embedded.readAll(), program.readAll());
}

QTEST_GUILESS_MAIN(tst_NQFrameAndBuilder)
#include "tst_NQFrameAndBuilder.moc"
