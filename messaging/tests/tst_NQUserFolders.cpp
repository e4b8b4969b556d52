// Every user of the machine has messaging of their own: each user's nodes
// and center meet in a folder of that user's, and a folder that is not
// the user's own is refused. Running nodes stay reachable there when the
// folder goes or their server loses its socket.

#include "NQFrame.h"
#include "NQTestPacket.h"
#include "NodeProcess.h"

#include <QLocalSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

// The user id that Debian gives nobody, who owns nothing of the test's.
const QString otherUser = QStringLiteral("65534");

bool shell(const QString &script, const QString &folder, const QString &node = QString())
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), folder, node}) == 0;
}

// A peer that connects to the node's socket and names itself is reported.
bool reachesNode(const QString &path, NodeProcess &node)
{
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired(); QTest::qWait(200)) {
        QLocalSocket peer;
        peer.connectToServer(path);
        if (!peer.waitForConnected(1000))
            continue;
        peer.write(NQFrame::encode(QStringLiteral("1005"), NQTestPacket(QStringLiteral("back")).toByteArray()));
        if (peer.waitForBytesWritten(1000) && node.waitForLine(QStringLiteral("online 1005 back"), 2000))
            return true;
    }
    return false;
}

// Another center started now ends at once with 0: the running one holds
// the name and the key. A moment after a change it may still lose the
// listen instead (255); it must never stay.
bool anotherCenterEndsAtOnce(const QProcessEnvironment &environment)
{
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QTest::qWait(200)) {
        NodeProcess center(QStringLiteral(STATION_BIN_DIR "/NQCenter"), {}, environment);
        center.launch();
        int exitCode = -1;
        if (!center.waitForExit(10000, &exitCode))
            return false;
        if (exitCode == 0)
            return true;
    }
    return false;
}

} // namespace

class tst_NQUserFolders : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void twoUsersRunTheirOwnStations_data();
    void twoUsersRunTheirOwnStations();
    void folderNotTheUsersOwnIsRefused_data();
    void folderNotTheUsersOwnIsRefused();
    void runningNodesAreFoundAgain_data();
    void runningNodesAreFoundAgain();

private:
    NodeProcess &launch(const QProcessEnvironment &environment, bool asOtherUser);
    std::vector<std::unique_ptr<NodeProcess>> nodes;
    // Outlives the nodes that use it: they are ended in cleanup().
    std::unique_ptr<QTemporaryDir> otherRuntime;
};

void tst_NQUserFolders::cleanup()
{
    for (auto &node : nodes) {
        if (QTest::currentTestFailed())
            node->dump();
    }
    nodes.clear();
    killCentersOfThisTest();
    otherRuntime.reset();
}

NodeProcess &tst_NQUserFolders::launch(const QProcessEnvironment &environment, bool asOtherUser)
{
    const QString node = QStringLiteral(STATION_TESTS_DIR "/nq_test_node");
    if (asOtherUser) {
        const QStringList user{QStringLiteral("--reuid=") + otherUser, QStringLiteral("--regid=") + otherUser,
                               QStringLiteral("--clear-groups"), node};
        nodes.push_back(std::make_unique<NodeProcess>(QStandardPaths::findExecutable(QStringLiteral("setpriv")),
                                                      user, environment));
    } else {
        nodes.push_back(std::make_unique<NodeProcess>(node, QStringList{}, environment));
    }
    nodes.back()->launch();
    return *nodes.back();
}

void tst_NQUserFolders::twoUsersRunTheirOwnStations_data()
{
    QTest::addColumn<bool>("runtimeFolders");
    QTest::newRow("both in the shared temporary folder") << false;
    QTest::newRow("each in a runtime folder of their own") << true;
}

// Two users, two nodes each, in one temporary folder that everybody may
// write to, as /tmp: each user's nodes meet through that user's center and
// never see the other user's.
void tst_NQUserFolders::twoUsersRunTheirOwnStations()
{
    QFETCH(bool, runtimeFolders);
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("only root can run a node as another user, with setpriv");
    QVERIFY(shell(QStringLiteral("chmod 1777 \"$1\""), QDir::tempPath()));
    QProcessEnvironment own = NodeProcess::nodeEnvironment();
    QProcessEnvironment other = own;
    if (runtimeFolders) {
        otherRuntime = std::make_unique<QTemporaryDir>();
        QVERIFY(shell(QStringLiteral("chown %1 \"$1\"").arg(otherUser), otherRuntime->path()));
        other.insert(QStringLiteral("XDG_RUNTIME_DIR"), otherRuntime->path());
    } else {
        own.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        other.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    }

    // One user's station runs before the other's starts, as when the first
    // user's center outlives their session.
    for (bool asOtherUser : {false, true}) {
        NodeProcess &first = launch(asOtherUser ? other : own, asOtherUser);
        NodeProcess &second = launch(asOtherUser ? other : own, asOtherUser);
        first.command(QStringLiteral("start\nonline first"));
        second.command(QStringLiteral("start\nonline second"));
        const char *user = asOtherUser ? "the other user" : "the first user";
        QVERIFY2(first.waitForLine(QStringLiteral("online %1 second").arg(second.name()), 60000), user);
        QVERIFY2(second.waitForLine(QStringLiteral("online %1 first").arg(first.name()), 60000), user);
    }
    for (int i = 0; i < 4; ++i) {
        const QStringList online = nodes[i]->lines().filter(QRegularExpression(QStringLiteral("^online ")));
        QVERIFY2(online.size() == 1, qPrintable(QStringLiteral("node %1 saw %2").arg(i).arg(online.join(", "))));
    }
}

void tst_NQUserFolders::folderNotTheUsersOwnIsRefused_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<bool>("needsRoot");
    QTest::addColumn<QString>("reason");
    // $1 is the runtime folder, which the nodes' folder NQCore lies in.
    QTest::newRow("a folder of another user")
        << QStringLiteral("mkdir -m 700 \"$1/NQCore\" && chown %1 \"$1/NQCore\"").arg(otherUser) << true
        << QStringLiteral("it belongs to user %1").arg(otherUser);
    QTest::newRow("a folder others can write to")
        << QStringLiteral("mkdir -m 777 \"$1/NQCore\"") << false << QStringLiteral("others can write to it");
    QTest::newRow("a link to a private folder")
        << QStringLiteral("mkdir -m 700 \"$1/elsewhere\" && ln -s elsewhere \"$1/NQCore\"") << false
        << QStringLiteral("it is a symbolic link");
    QTest::newRow("a runtime folder of another user")
        << QStringLiteral("chown %1 \"$1\"").arg(otherUser) << true
        << QStringLiteral("it belongs to user %1").arg(otherUser);
}

// Whoever else can change the folder could take the user's names or lead
// the user's nodes elsewhere: the node does not start, and says why.
void tst_NQUserFolders::folderNotTheUsersOwnIsRefused()
{
    QFETCH(QString, setUp);
    QFETCH(bool, needsRoot);
    QFETCH(QString, reason);
    if (needsRoot && ::geteuid() != 0)
        QSKIP("only root can give a folder to another user");
    QTemporaryDir runtime;
    QVERIFY(shell(setUp, runtime.path()));
    QProcessEnvironment environment = NodeProcess::nodeEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());

    NodeProcess &node = launch(environment, false);
    node.command(QStringLiteral("start"));
    QVERIFY(node.waitForLine(QStringLiteral("started %1 0").arg(node.name()), 60000));
    const QString errors = node.errors();
    QVERIFY2(errors.contains(QStringLiteral("refusing the private folder")) && errors.contains(reason),
             qPrintable(errors));
}

void tst_NQUserFolders::runningNodesAreFoundAgain_data()
{
    QTest::addColumn<QString>("deeper");
    // $1 is the nodes' folder, $2 the first node's process id.
    QTest::addColumn<QString>("disturb");
    QTest::addColumn<QString>("restore");
    QTest::addColumn<QString>("logged");
    QTest::newRow("a runtime folder too deep for socket names")
        << QString(90, QLatin1Char('d')) << QString() << QString() << QStringLiteral("more than the 107");
    QTest::newRow("the session's folder removed, and made again at the next login")
        << QString() << QStringLiteral("rm -rf \"${1%/*}\" && mkdir -m 700 \"${1%/*}\"") << QString()
        << QStringLiteral("listening again");
    // Every descriptor number from the lowest free one up is refused.
    QTest::newRow("the first node out of descriptors for a moment") << QString()
        << QStringLiteral("n=0; while [ -e /proc/$2/fd/$n ]; do n=$((n+1)); done; prlimit --pid $2 --nofile=$n:")
        << QStringLiteral("prlimit --pid $2 --nofile=$(prlimit --pid $2 --nofile --raw --noheadings -o HARD):") << QStringLiteral("lost the server");
}

// Two nodes run, their meeting place is disturbed, and a third that starts
// afterwards still meets both, through the one center.
void tst_NQUserFolders::runningNodesAreFoundAgain()
{
    QFETCH(QString, deeper);
    QFETCH(QString, disturb);
    QFETCH(QString, restore);
    QFETCH(QString, logged);
    QTemporaryDir base;
    const QString runtime = base.filePath(deeper);
    QVERIFY(shell(QStringLiteral("mkdir -p -m 700 \"$1\""), runtime));
    QProcessEnvironment environment = NodeProcess::nodeEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    const QString folder = deeper.isEmpty() ? runtime + QStringLiteral("/NQCore")
                                            : QDir::tempPath() + QStringLiteral("/NQCore-%1").arg(::geteuid());

    NodeProcess &a = launch(environment, false);
    NodeProcess &b = launch(environment, false);
    a.command(QStringLiteral("start\nonline hello-a"));
    b.command(QStringLiteral("start\nonline hello-b"));
    QVERIFY(a.waitForLine(QStringLiteral("online %1 hello-b").arg(b.name()), 60000));
    QVERIFY(b.waitForLine(QStringLiteral("online %1 hello-a").arg(a.name()), 60000));
    QVERIFY(disturb.isEmpty() || shell(disturb, folder, a.name()));
    const QString pathOfA = folder + QLatin1Char('/') + a.name();
    // Taking this connection is what an exhausted node fails at.
    QLocalSocket poke;
    poke.connectToServer(pathOfA);
    poke.waitForConnected(1000);
    QTRY_VERIFY_WITH_TIMEOUT(a.errors().contains(logged), 20000);
    QVERIFY(restore.isEmpty() || shell(restore, folder, a.name()));
    QVERIFY(reachesNode(pathOfA, a));

    NodeProcess &c = launch(environment, false);
    c.command(QStringLiteral("start\nonline hello-c"));
    QVERIFY(c.waitForLine(QStringLiteral("online %1 hello-a").arg(a.name()), 20000));
    QVERIFY(c.waitForLine(QStringLiteral("online %1 hello-b").arg(b.name()), 20000));
    QVERIFY(a.waitForLine(QStringLiteral("online %1 hello-c").arg(c.name()), 20000));
    QVERIFY(b.waitForLine(QStringLiteral("online %1 hello-c").arg(c.name()), 20000));
    QVERIFY(anotherCenterEndsAtOnce(environment));
    // A center that each starting node asks for ends at once, but may still
    // be on its way out.
    QTRY_COMPARE_WITH_TIMEOUT(centerProcessesOfThisTest().size(), 1, 10000);
}

QTEST_GUILESS_MAIN(tst_NQUserFolders)
#include "tst_NQUserFolders.moc"
