// One node spoken to directly over its local server: framing, who a frame
// comes from, oversized frames, names that are no node's, stale names and
// an unreachable center.

#include "NQFrame.h"
#include "NQNames.h"
#include "NQTestPacket.h"
#include "NodeProcess.h"
#include "RawPeer.h"

#include <QLocalServer>
#include <QLockFile>
#include <QtTest>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

QByteArray frame(const QString &name, const QString &text)
{
    return NQFrame::encode(name, NQTestPacket(text).toByteArray());
}

// The time a process has run on any core, in ms.
qint64 cpuMs(const QString &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    stat.open(QIODevice::ReadOnly);
    // The user and system times, after the name in parentheses.
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
    return (fields.value(12).toLongLong() + fields.value(13).toLongLong()) * 1000 / ::sysconf(_SC_CLK_TCK);
}

} // namespace

class tst_NQNodeSockets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void framesAreDeliveredInOrder_data();
    void framesAreDeliveredInOrder();
    void oversizedFrameClosesOnlyThatSocket();
    void onlyNodeNamesAreUsed_data();
    void onlyNodeNamesAreUsed();
    void peerTakingNoConnectionYet_data();
    void peerTakingNoConnectionYet();
    void staleNameDoesNotBlockStart();
    void killedNodesLeaveNoSocketFiles();
    void unreachableCenterIsRetried();
    void slowCenterIsStillReached();
    void stopFromCallbackThenUnload_data();
    void stopFromCallbackThenUnload();

private:
    bool startNode(NodeProcess &node);
    std::unique_ptr<NodeProcess> node;
};

void tst_NQNodeSockets::init()
{
    node = std::make_unique<NodeProcess>();
}

void tst_NQNodeSockets::cleanup()
{
    const bool wrongThread = node->count(QStringLiteral("wrong-thread")) > 0;
    node.reset();
    killCentersOfThisTest();
    QVERIFY(!wrongThread);
}

bool tst_NQNodeSockets::startNode(NodeProcess &process)
{
    process.launch();
    process.command(QStringLiteral("start\nonline self"));
    return process.waitForLine(QStringLiteral("started %1 1").arg(process.name()), 60000);
}

void tst_NQNodeSockets::framesAreDeliveredInOrder_data()
{
    QTest::addColumn<QList<int>>("cuts");
    QTest::addColumn<QString>("claimedName");
    // The stream is the identifying frame then three data frames; the cuts
    // are the offsets at which it is split into separate writes.
    QTest::newRow("all in one write") << QList<int>{} << QStringLiteral("777");
    QTest::newRow("every frame cut in two") << QList<int>{3, 30, 61, 95, 120} << QStringLiteral("777");
    QTest::newRow("data frames claim another sender") << QList<int>{} << QStringLiteral("888");
}

void tst_NQNodeSockets::framesAreDeliveredInOrder()
{
    QFETCH(QList<int>, cuts);
    QFETCH(QString, claimedName);
    QVERIFY(startNode(*node));
    RawPeer peer;
    QVERIFY(peer.connectTo(node->name()));

    const QByteArray stream = frame(QStringLiteral("777"), QStringLiteral("id"))
        + frame(claimedName, QStringLiteral("d1")) + frame(claimedName, QStringLiteral("d2"))
        + frame(claimedName, QStringLiteral("d3"));
    const QString readLog = QStringLiteral("NQNodeServer::onSocketReadyRead");
    int from = 0;
    for (int cut : cuts + QList<int>{int(stream.size())}) {
        const int reads = node->countErrors(readLog);
        peer.write(stream.mid(from, cut - from));
        // Each piece reaches the node on its own before the next is sent.
        QTRY_VERIFY(node->countErrors(readLog) > reads);
        from = cut;
    }
    QVERIFY(node->waitForLine(QStringLiteral("data 777 d3")));
    const QStringList expected{QStringLiteral("online 777 id"), QStringLiteral("data 777 d1"),
                               QStringLiteral("data 777 d2"), QStringLiteral("data 777 d3")};
    QCOMPARE(node->lines().filter(QRegularExpression(QStringLiteral("^(online|data) "))), expected);
}

void tst_NQNodeSockets::oversizedFrameClosesOnlyThatSocket()
{
    QVERIFY(startNode(*node));
    RawPeer good, bad;
    QVERIFY(good.connectTo(node->name()));
    QVERIFY(bad.connectTo(node->name()));
    good.write(frame(QStringLiteral("1001"), QStringLiteral("good")));
    bad.write(frame(QStringLiteral("1002"), QStringLiteral("bad")));
    QVERIFY(node->waitForLine(QStringLiteral("online 1002 bad")));

    // Name "1002" and a payload count of 17 MiB, the payload never sent.
    QByteArray hugePayload = NQFrame::encode(QStringLiteral("1002"), QByteArray(""));
    qToBigEndian<quint32>(17 * 1024 * 1024, hugePayload.data() + 12);
    bad.write(hugePayload);
    QVERIFY(bad.waitForDisconnected());
    QVERIFY(node->waitForLine(QStringLiteral("offline 1002")));
    QVERIFY(node->errors().contains(QStringLiteral("oversized frame")));

    good.write(frame(QStringLiteral("1001"), QStringLiteral("after")));
    QVERIFY(node->waitForLine(QStringLiteral("data 1001 after")));
    QCOMPARE(node->lines().filter(QRegularExpression(QStringLiteral("^offline"))),
             QStringList{QStringLiteral("offline 1002")});
}

void tst_NQNodeSockets::onlyNodeNamesAreUsed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("used");
    QTest::newRow("a process id") << QStringLiteral("2000000000") << true;
    QTest::newRow("an absolute path") << QDir::tempPath() + QStringLiteral("/elsewhere") << false;
    QTest::newRow("the parent folder") << QStringLiteral("../elsewhere") << false;
    QTest::newRow("a sub-folder") << QStringLiteral("sub/2000") << false;
    QTest::newRow("a leading zero") << QStringLiteral("02000") << false;
    QTest::newRow("overlong") << QStringLiteral("20000000000") << false;
    QTest::newRow("a word") << QStringLiteral("elsewhere") << false;
    QTest::newRow("empty") << QString() << false;
}

// A name from outside, relayed by the center or identifying a socket, is a
// socket path to the node: one of a form that no node gives itself is
// dropped with a log line. A server listens where that path leads.
void tst_NQNodeSockets::onlyNodeNamesAreUsed()
{
    QFETCH(QString, name);
    QFETCH(bool, used);
    QVERIFY(startNode(*node));
    const QDir folder(nqnames::meetingFolder());
    QVERIFY(folder.mkpath(QStringLiteral("sub")));
    QLocalServer target;
    QVERIFY(name.isEmpty() || target.listen(folder.filePath(name)));

    // Each socket's frames are handled in order: the second frame on each
    // shows that the first has been. The relayed one goes first, so that the
    // node does not know the name yet.
    RawPeer center, direct;
    QVERIFY(center.connectTo(nqnames::centerServerName()));
    center.write(frame(name, QStringLiteral("relayed")));
    center.write(frame(QStringLiteral("1003"), QStringLiteral("relayed-after")));
    QVERIFY(node->waitForLine(QStringLiteral("online 1003 relayed-after")));
    QVERIFY(direct.connectTo(node->name()));
    direct.write(frame(name, QStringLiteral("direct")));
    direct.write(frame(QStringLiteral("1004"), QStringLiteral("direct-after")));
    const QString after = node->waitForMatch(QRegularExpression(QStringLiteral(" direct-after$")));

    QStringList online = node->lines().filter(QRegularExpression(QStringLiteral("^online .* (relayed|direct)$")));
    online.sort();
    const QString dropped = QStringLiteral("dropping a frame from a peer named");
    if (used) {
        QVERIFY(target.waitForNewConnection(10000));
        QCOMPARE(online, (QStringList{QStringLiteral("online %1 direct").arg(name),
                                      QStringLiteral("online %1 relayed").arg(name)}));
        QCOMPARE(after, QStringLiteral("data %1 direct-after").arg(name));
        QCOMPARE(node->countErrors(dropped), 0);
    } else {
        QVERIFY(!target.waitForNewConnection(0));
        QCOMPARE(online, QStringList());
        QCOMPARE(after, QStringLiteral("online 1004 direct-after"));
        QCOMPARE(node->countErrors(dropped), 2);
    }
}

void tst_NQNodeSockets::peerTakingNoConnectionYet_data()
{
    QTest::addColumn<bool>("accepts");
    QTest::newRow("takes it later") << true;
    QTest::newRow("never takes it") << false;
}

// A peer whose queue of connections not yet accepted is full, as when many
// nodes meet at once: what is sent to it waits, with the node idle, and
// arrives after the announcement and in order once the peer accepts, or is
// counted when the node gives up on the peer.
void tst_NQNodeSockets::peerTakingNoConnectionYet()
{
    QFETCH(bool, accepts);
    QVERIFY(startNode(*node));
    const QString name = QString::number(QCoreApplication::applicationPid());
    FullServer peer(meetingPath(name));
    RawPeer center;
    QVERIFY(center.connectTo(nqnames::centerServerName()));
    center.write(frame(name, QStringLiteral("busy")));
    QVERIFY(node->waitForLine(QStringLiteral("online %1 busy").arg(name)));
    QByteArray expected = frame(node->name(), QStringLiteral("self"));
    for (const QString &text : {QStringLiteral("d1"), QStringLiteral("d2"), QStringLiteral("d3")}) {
        node->command(QStringLiteral("send %1 %2").arg(name, text));
        expected += frame(node->name(), text);
    }

    const qint64 before = cpuMs(node->name());
    node->collectFor(2000);
    const qint64 spent = cpuMs(node->name()) - before;
    QVERIFY2(spent < 400, qPrintable(QStringLiteral("%1 ms on a core in 2 s").arg(spent)));
    if (accepts) {
        RawPeer taken;
        QVERIFY(peer.acceptNext(taken, 10000));
        QVERIFY(taken.receive(expected));
        QCOMPARE(node->count(QStringLiteral("offline %1").arg(name)), 0);
    } else {
        QVERIFY(node->waitForLine(QStringLiteral("offline %1").arg(name), 60000));
        QTRY_VERIFY(node->errors().contains(QStringLiteral("dropping 3 packets accepted for %1").arg(name)));
    }
}

// A process that was killed leaves a socket file named by its id; a later
// process with the same id must still be able to start its node.
void tst_NQNodeSockets::staleNameDoesNotBlockStart()
{
    node->launch();
    QVERIFY(node->waitForLine(QStringLiteral("pid %1").arg(node->name())));
    makeStaleSocketFile(meetingPath(node->name()));
    node->command(QStringLiteral("start"));
    QVERIFY(node->waitForLine(QStringLiteral("started %1 1").arg(node->name()), 60000));
    RawPeer peer;
    QVERIFY(peer.connectTo(node->name()));
}

// The next node to start removes the socket file of a node that was killed,
// and leaves a live process's alone.
void tst_NQNodeSockets::killedNodesLeaveNoSocketFiles()
{
    NodeProcess killed;
    QVERIFY(startNode(killed));
    const QString killedPath = meetingPath(killed.name());
    killed.kill();
    QVERIFY(QFileInfo::exists(killedPath));
    QLocalServer live;
    QVERIFY(live.listen(meetingPath(QString::number(QCoreApplication::applicationPid()))));

    QVERIFY(startNode(*node));
    QVERIFY2(!QFileInfo::exists(killedPath), "the killed node's socket file is left");
    QVERIFY2(QFileInfo::exists(live.fullServerName()), "a live process's socket file is gone");
}

// A node that finds no center says so once, returns from its start, and
// keeps trying without holding the start lock in between: once the program
// can start, the node brings a center up itself, and a later node finds it.
void tst_NQNodeSockets::unreachableCenterIsRetried()
{
    QTemporaryDir folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), folder.path());
    node = std::make_unique<NodeProcess>(QStringLiteral(STATION_TESTS_DIR "/nq_test_node"), QStringList{},
                                         environment);
    node->launch();
    node->command(QStringLiteral("start\nonline self"));
    QVERIFY(node->waitForLine(QStringLiteral("started %1 1").arg(node->name()), 10000));
    QVERIFY(node->errors().contains(QStringLiteral("NQCenter not reached")));
    QTRY_VERIFY_WITH_TIMEOUT(node->countErrors(QStringLiteral("start NQCenter.exe failed")) >= 3, 10000);
    QLockFile lock(meetingPath(nqnames::lockFileName()));
    QVERIFY(lock.tryLock(3000));
    lock.unlock();
    QCOMPARE(node->countErrors(QStringLiteral("NQCenter not reached")), 1);

    QVERIFY(QFile::link(QStringLiteral(STATION_BIN_DIR "/NQCenter"), folder.filePath(QStringLiteral("NQCenter"))));
    QTRY_VERIFY_WITH_TIMEOUT(centerProcessesOfThisTest().size() == 1, 10000);
    NodeProcess peer;
    QVERIFY(startNode(peer));
    QVERIFY(peer.waitForLine(QStringLiteral("online %1 self").arg(node->name())));
}

// A center that takes longer to come up than the pause before connecting,
// as on a loaded machine: the node keeps asking within its connection wait.
void tst_NQNodeSockets::slowCenterIsStillReached()
{
    QTemporaryDir folder;
    QFile script(folder.filePath(QStringLiteral("NQCenter")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\n/bin/sleep 5\nexec '" STATION_BIN_DIR "/NQCenter'\n");
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), folder.path());
    node = std::make_unique<NodeProcess>(QStringLiteral(STATION_TESTS_DIR "/nq_test_node"), QStringList{},
                                         environment);
    QVERIFY(startNode(*node));
    QVERIFY(!node->errors().contains(QStringLiteral("NQCenter not reached")));

    NodeProcess peer;
    QVERIFY(startNode(peer));
    QVERIFY(node->waitForLine(QStringLiteral("online %1 self").arg(peer.name()), 30000));
}

// A program may stop and release its node in the node's own callback and
// unload the library as soon as it hears of it: no thread of the node may
// then be left, nor anything of the library's waiting to run. Several try,
// as the threads' ends race the unload. A callback may also go on after the
// unload has returned, however long: the library goes only after it.
void tst_NQNodeSockets::stopFromCallbackThenUnload_data()
{
    QTest::addColumn<QString>("selfstop");
    QTest::newRow("callback returns at once") << QStringLiteral("selfstop");
    QTest::newRow("callback outlives the unload") << QStringLiteral("selfstop linger");
}

void tst_NQNodeSockets::stopFromCallbackThenUnload()
{
    QFETCH(QString, selfstop);
    constexpr int processes = 4;
    std::vector<std::unique_ptr<NodeProcess>> nodes;
    std::vector<std::unique_ptr<RawPeer>> peers;
    std::vector<QString> threadsBefore;
    for (int i = 0; i < processes; ++i) {
        nodes.push_back(std::make_unique<NodeProcess>());
        NodeProcess &process = *nodes.back();
        process.launch();
        threadsBefore.push_back(process.ask(QStringLiteral("threads"), QStringLiteral("threads")));
        process.command(QStringLiteral("start\nonline self\n") + selfstop);
        QVERIFY(process.waitForLine(QStringLiteral("started %1 1").arg(process.name()), 60000));
        // Once answered, the node is set to stop on the next data.
        QVERIFY(!process.ask(QStringLiteral("received"), QStringLiteral("received")).isNull());
        peers.push_back(std::make_unique<RawPeer>());
        QVERIFY(peers.back()->connectTo(process.name()));
        peers.back()->write(frame(QStringLiteral("777"), QStringLiteral("id")) + frame(QStringLiteral("777"), QStringLiteral("bye")));
    }
    for (int i = 0; i < processes; ++i) {
        NodeProcess &process = *nodes[i];
        if (!process.waitForLine(QStringLiteral("unloaded 1")))
            process.dump();
        QVERIFY(process.lines().contains(QStringLiteral("self-stopped")));
#ifndef __SANITIZE_THREAD__
        // Under the race detector the library stays mapped after its unload
        // whatever its threads do.
        QTRY_COMPARE_WITH_TIMEOUT(process.ask(QStringLiteral("mapped"), QStringLiteral("mapped")),
                                  QStringLiteral("0"), 10000);
#endif
        QTRY_COMPARE_WITH_TIMEOUT(process.ask(QStringLiteral("threads"), QStringLiteral("threads")),
                                  threadsBefore[i], 10000);
        process.command(QStringLiteral("quit"));
        int exitCode = -1;
        const bool ended = process.waitForExit(30000, &exitCode);
        if (!ended || exitCode != 0)
            process.dump();
        QVERIFY(ended);
        QCOMPARE(exitCode, 0);
    }
}

QTEST_GUILESS_MAIN(tst_NQNodeSockets)
#include "tst_NQNodeSockets.moc"
