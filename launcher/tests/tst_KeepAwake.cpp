// The launcher keeps the system and the display awake for as long as it
// runs: seen from the services it asks, on a private bus that stands for
// both the system and the session bus.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QtTest>

#include <poll.h>
#include <unistd.h>

#include "LauncherInstall.h"

// What the screen saver and logind were asked, and by whom. When `silent`,
// no call is ever answered.
struct InhibitRecord
{
    QStringList screenSaverCalls;
    QStringList logindCalls;
    QString caller;
    int inhibitorReadEnd = -1;
    bool silent = false;
};

class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    explicit FakeScreenSaver(InhibitRecord &record) : record(record) {}

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        record.screenSaverCalls << application << reason;
        record.caller = message().service();
        if (record.silent)
            setDelayedReply(true);
        return 1;
    }

private:
    InhibitRecord &record;
};

class FakeLogind : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    explicit FakeLogind(InhibitRecord &record) : record(record) {}

public slots:
    // logind holds the inhibitor until the descriptor it hands out is closed
    // everywhere; the record keeps the other end to see when that happens.
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode)
    {
        record.logindCalls << what << who << why << mode;
        int ends[2];
        if (record.silent || ::pipe(ends) != 0) {
            setDelayedReply(true);
            return QDBusUnixFileDescriptor();
        }
        record.inhibitorReadEnd = ends[0];
        QDBusUnixFileDescriptor handedOut(ends[1]);
        ::close(ends[1]);
        return handedOut;
    }

private:
    InhibitRecord &record;
};

class KeepAwakeTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void holdsBothInhibitorsWhileRunning();
    void startsWhenTheServicesNeverAnswer();

private:
    std::unique_ptr<LauncherRun> startLauncher();

    QTemporaryDir folder;
    QProcess bus;
    QString address;
    InhibitRecord record;
    std::unique_ptr<FakeScreenSaver> screenSaver;
    std::unique_ptr<FakeLogind> logind;
    LauncherInstall install{QStringLiteral(CORE_STAND_IN)};
};

void KeepAwakeTest::initTestCase()
{
    bus.start(QStringLiteral("dbus-daemon"),
              {"--session", "--nofork", "--print-address=1", "--address=unix:path=" + folder.filePath("bus")});
    QVERIFY(bus.waitForReadyRead(10000));
    address = QString::fromUtf8(bus.readLine()).trimmed();
    QVERIFY(!address.isEmpty());
}

void KeepAwakeTest::init()
{
    record = InhibitRecord();
    screenSaver = std::make_unique<FakeScreenSaver>(record);
    logind = std::make_unique<FakeLogind>(record);
    QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("services"));
    QVERIFY(connection.isConnected());
    QVERIFY(connection.registerObject("/org/freedesktop/ScreenSaver", screenSaver.get(),
                                      QDBusConnection::ExportAllSlots));
    QVERIFY(connection.registerObject("/org/freedesktop/login1", logind.get(),
                                      QDBusConnection::ExportAllSlots));
    QVERIFY(connection.registerService("org.freedesktop.ScreenSaver"));
    QVERIFY(connection.registerService("org.freedesktop.login1"));
}

void KeepAwakeTest::cleanup()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("services"));
    screenSaver.reset();
    logind.reset();
    if (record.inhibitorReadEnd >= 0)
        ::close(record.inhibitorReadEnd);
}

void KeepAwakeTest::cleanupTestCase()
{
    bus.kill();
    bus.waitForFinished();
}

std::unique_ptr<LauncherRun> KeepAwakeTest::startLauncher()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
    return install.start({"hold"}, environment);
}

// Whether the last holder of the inhibitor's descriptor closed it.
static bool inhibitorReleased(int readEnd)
{
    pollfd watch = {readEnd, POLLIN, 0};
    char byte = 0;
    return ::poll(&watch, 1, 0) == 1 && ::read(readEnd, &byte, 1) == 0;
}

void KeepAwakeTest::holdsBothInhibitorsWhileRunning()
{
    auto run = startLauncher();
    QTRY_VERIFY_WITH_TIMEOUT(run->standardOutput().contains("Run called"), 20000);

    QCOMPARE(record.logindCalls.size(), 4);
    // Idle sleep only: a suspend the user asks for must still happen.
    QCOMPARE(record.logindCalls.at(0), QStringLiteral("idle"));
    QCOMPARE(record.logindCalls.at(1), QStringLiteral("Optivane"));
    QCOMPARE(record.logindCalls.at(3), QStringLiteral("block"));
    QCOMPARE(record.screenSaverCalls.size(), 2);
    QCOMPARE(record.screenSaverCalls.at(0), QStringLiteral("Optivane"));

    QVERIFY(record.inhibitorReadEnd >= 0);
    QVERIFY2(!inhibitorReleased(record.inhibitorReadEnd), "let go of the idle inhibitor while running");
    QDBusConnection services(QStringLiteral("services"));
    QVERIFY2(services.interface()->isServiceRegistered(record.caller),
             "left the bus, which ends the screen saver inhibitor");

    run->process().closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(run->process().state() == QProcess::NotRunning, 20000);
    QCOMPARE(run->process().exitCode(), 255);
    QVERIFY(inhibitorReleased(record.inhibitorReadEnd));
}

void KeepAwakeTest::startsWhenTheServicesNeverAnswer()
{
    record.silent = true;
    auto run = startLauncher();
    // Far less than the bus's own 25 s default for a call that gets no answer.
    QTRY_VERIFY_WITH_TIMEOUT(run->standardOutput().contains("Run called"), 10000);
    QCOMPARE(record.logindCalls.size(), 4);
    QCOMPARE(record.screenSaverCalls.size(), 2);
    run->process().closeWriteChannel();
    QTRY_VERIFY_WITH_TIMEOUT(run->process().state() == QProcess::NotRunning, 20000);
}

QTEST_GUILESS_MAIN(KeepAwakeTest)
#include "tst_KeepAwake.moc"
