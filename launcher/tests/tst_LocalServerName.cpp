// Taking back a local server name: only a name left behind by a dead server
// may be removed, never one that a live server answers under.

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/LocalServerName.h"

class LocalServerNameTest : public QObject
{
    Q_OBJECT

private slots:
    void removesOnlyALeftoverName_data();
    void removesOnlyALeftoverName();
};

// What a process that died while listening leaves: a bound socket file that
// nobody accepts on.
static bool leaveSocketFileBehind(const QString &name)
{
    const QByteArray path = QFile::encodeName(QDir::tempPath() + '/' + name);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

void LocalServerNameTest::removesOnlyALeftoverName_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<bool>("removed");
    QTest::addColumn<bool>("listenable");
    QTest::newRow("left behind") << "dead" << true << true;
    QTest::newRow("live server") << "live" << false << false;
    QTest::newRow("unused name") << "none" << false << true;
}

void LocalServerNameTest::removesOnlyALeftoverName()
{
    QFETCH(QString, owner);
    QFETCH(bool, removed);
    QFETCH(bool, listenable);

    const QString name = QStringLiteral("name-test-") + QTest::currentDataTag();
    QLocalServer live;
    if (owner == "dead")
        QVERIFY(leaveSocketFileBehind(name));
    if (owner == "live")
        QVERIFY(live.listen(name));

    QCOMPARE(platform::removeStaleServerName(name), removed);

    QLocalServer next;
    QCOMPARE(next.listen(name), listenable);
    if (owner == "live") {
        QLocalSocket client;
        client.connectToServer(name);
        QVERIFY2(client.waitForConnected(1000), "the live server lost its name");
    }
}

QTEST_GUILESS_MAIN(LocalServerNameTest)
#include "tst_LocalServerName.moc"
