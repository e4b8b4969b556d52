// The center program: relaying whole frames, single instance, recovery after
// being killed, and what it says when the library is missing.

#include "NQFrame.h"
#include "NodeProcess.h"
#include "RawPeer.h"

#include <QtTest>

#include <memory>

namespace {

const QString centerName = QStringLiteral("18FD5D41-F60B-404D-8AEB-1B8887B5E672");
const QString centerProgram = QStringLiteral(STATION_BIN_DIR "/NQCenter");

std::unique_ptr<NodeProcess> launchCenter()
{
    auto center = std::make_unique<NodeProcess>(centerProgram, QStringList{},
                                                QProcessEnvironment::systemEnvironment());
    center->launch();
    return center;
}

bool connectAll(NodeProcess &center, RawPeer *peers, int count)
{
    QDeadlineTimer deadline(10000);
    while (!peers[0].connectTo(centerName)) {
        if (deadline.hasExpired())
            return false;
        center.collectFor(20);
    }
    for (int i = 1; i < count; ++i) {
        if (!peers[i].connectTo(centerName))
            return false;
    }
    // A frame written before the center took a socket in would miss it.
    while (center.countErrors(QStringLiteral("NQCenterServer::onSocketConnection")) < count) {
        if (deadline.hasExpired())
            return false;
        center.collectFor(20);
    }
    return true;
}

bool relays(RawPeer &writer, RawPeer &reader)
{
    const QByteArray frame = NQFrame::encode(QStringLiteral("200"), "relayed");
    writer.write(frame);
    return reader.receive(frame);
}

} // namespace

class tst_NQCenter : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void relaysWholeFramesToOthers_data();
    void relaysWholeFramesToOthers();
    void oversizedFrameClosesOnlyThatSocket();
    void secondInstanceEndsAtOnce();
    void recoversAfterBeingKilled();
    void reportsMissingLibrary();
};

void tst_NQCenter::cleanup()
{
    killCentersOfThisTest();
}

void tst_NQCenter::relaysWholeFramesToOthers_data()
{
    QTest::addColumn<bool>("split");
    QTest::newRow("whole writes") << false;
    QTest::newRow("a frame cut around another writer's frame") << true;
}

// Peer 0 writes frame A (possibly in two halves with peer 1's frame B in
// between); each peer gets every frame but its own, never interleaved.
void tst_NQCenter::relaysWholeFramesToOthers()
{
    QFETCH(bool, split);
    auto center = launchCenter();
    RawPeer peers[3];
    QVERIFY(connectAll(*center, peers, 3));

    const QByteArray a = NQFrame::encode(QStringLiteral("100"), QByteArray(5000, 'a'));
    const QByteArray b = NQFrame::encode(QStringLiteral("200"), "bee");
    if (split) {
        const QString readLog = QStringLiteral("NQCenterServer::onSocketReadyRead");
        const int reads = center->countErrors(readLog);
        peers[0].write(a.left(1000));
        // The center holds the first half before the other frame arrives.
        QTRY_VERIFY(center->countErrors(readLog) > reads);
        peers[1].write(b);
        QVERIFY(peers[2].receive(b));
        peers[0].write(a.mid(1000));
    } else {
        peers[0].write(a);
        QVERIFY(peers[2].receive(a));
        peers[1].write(b);
    }
    QVERIFY(peers[1].receive(a));
    QVERIFY(peers[0].receive(b));
    QVERIFY(peers[2].receive(split ? a : b));
    // Nothing more: no echo to a writer, no frame twice.
    QCOMPARE(peers[0].receivedWithin(300), QByteArray());
    QCOMPARE(peers[1].receivedWithin(0), QByteArray());
    QCOMPARE(peers[2].receivedWithin(0), QByteArray());
}

void tst_NQCenter::oversizedFrameClosesOnlyThatSocket()
{
    auto center = launchCenter();
    RawPeer peers[3];
    QVERIFY(connectAll(*center, peers, 3));

    QByteArray hugeName(4, '\0');
    qToBigEndian<quint32>(4096, hugeName.data());
    peers[0].write(hugeName);
    QVERIFY(peers[0].waitForDisconnected());
    QTRY_VERIFY(center->errors().contains(QStringLiteral("oversized frame")));

    QVERIFY(relays(peers[1], peers[2]));
}

void tst_NQCenter::secondInstanceEndsAtOnce()
{
    auto first = launchCenter();
    RawPeer peers[2];
    QVERIFY(connectAll(*first, peers, 2));

    auto second = launchCenter();
    int exitCode = -1;
    QVERIFY(second->waitForExit(2000, &exitCode));
    QCOMPARE(exitCode, 0);

    QVERIFY(relays(peers[0], peers[1]));
}

// A killed center leaves its socket file and its shared memory segment; the
// next center must neither mistake itself for a second instance nor fail
// to listen.
void tst_NQCenter::recoversAfterBeingKilled()
{
    auto killed = launchCenter();
    RawPeer probe[1];
    QVERIFY(connectAll(*killed, probe, 1));
    killed->kill();
    QVERIFY(QFile::exists(meetingPath(centerName)));

    auto next = launchCenter();
    RawPeer peers[2];
    QVERIFY(connectAll(*next, peers, 2));
    QVERIFY(relays(peers[0], peers[1]));
}

void tst_NQCenter::reportsMissingLibrary()
{
    QTemporaryDir folder;
    const QString lonely = folder.filePath(QStringLiteral("NQCenter"));
    QVERIFY(QFile::copy(centerProgram, lonely));
    NodeProcess center(lonely, {}, QProcessEnvironment::systemEnvironment());
    center.launch();
    int exitCode = 0;
    QVERIFY(center.waitForExit(10000, &exitCode));
    QCOMPARE(exitCode, 255);
    QVERIFY2(center.errors().contains(QStringLiteral("NQCenter: load NQCore.dll or resolve launchCenter failed")),
             qPrintable(center.errors()));
}

QTEST_GUILESS_MAIN(tst_NQCenter)
#include "tst_NQCenter.moc"
