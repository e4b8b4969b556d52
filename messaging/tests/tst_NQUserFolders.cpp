// Every user of the machine has messaging of their own: each user's nodes
// and center meet in a folder of that user's, and a folder that is not
// the user's own is refused.

#include "NodeProcess.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

#include <unistd.h>

namespace {

// The user id that Debian gives nobody, who owns nothing of the test's.
const QString otherUser = QStringLiteral("65534");

bool shell(const QString &script, const QString &folder)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), folder}) == 0;
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

QTEST_GUILESS_MAIN(tst_NQUserFolders)
#include "tst_NQUserFolders.moc"
