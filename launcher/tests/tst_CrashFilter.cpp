// Crashes of every kind inside the framework, seen as a user and a support
// engineer see them: the apology box on the screen (found, read from its
// pixels and closed with the keyboard), the log lines and the crash report
// in the logs folder.

#include <QDir>
#include <QFile>
#include <QtTest>

#include "CrashChecks.h"
#include "LauncherInstall.h"

class CrashFilterTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reportsAndApologises_data();
    void reportsAndApologises();
    void apologisesWhateverBecameOfTheReportFile_data();
    void apologisesWhateverBecameOfTheReportFile();
    void endsWhileTheBoxStaysOpen();
};

// A zone far from UTC with a part-hour offset, so that a report named in UTC
// or with a rounded offset shows.
static const QString zone = QStringLiteral("<+0545>-5:45");
static const qint64 zoneOffsetSeconds = 5 * 3600 + 45 * 60;
static const QString nameFormat = QStringLiteral("yyyy-MM-dd_hh.mm.ss");

static QDateTime zoneNow(qint64 offsetSeconds = zoneOffsetSeconds)
{
    return QDateTime::currentDateTimeUtc().addSecs(offsetSeconds);
}

// The zone above with summer time, an hour ahead, from `change` on: the rule
// names the day of the year counted from 0 and the standard time of day.
static QString zoneWithSummerTimeFrom(const QDateTime &change)
{
    const QDateTime standard = change.addSecs(zoneOffsetSeconds);
    const int day = standard.date().dayOfYear() - 1;
    return QStringLiteral("<+0545>-5:45<+0645>,%1/%2,%3/0")
        .arg(day)
        .arg(standard.time().toString(QStringLiteral("hh:mm:ss")))
        .arg((day + 100) % 365);
}

static QString reportName(const QDateTime &zoneTime)
{
    return QStringLiteral("dump_%1.dmp").arg(zoneTime.toString(nameFormat));
}

static std::unique_ptr<LauncherRun> startCrashing(const LauncherInstall &install, const QString &kind,
                                                  const QString &timeZone = zone)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), timeZone);
    return install.start({kind}, environment);
}

// The launcher keeps earlier crashes' reports: each case starts without any.
void CrashFilterTest::init()
{
    QVERIFY(QDir(LauncherInstall::logsFolder()).removeRecursively());
}

void CrashFilterTest::reportsAndApologises_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("code");
    // An exact address, "framework" for somewhere in the framework's code,
    // or empty for any.
    QTest::addColumn<QString>("address");
    // The flags, the parameter count and the parameters as the report lists them.
    QTest::addColumn<QStringList>("details");
    // An uncaught exception's type and message, as the report and the log
    // name them.
    QTest::addColumn<QStringList>("exception");
    const QStringList none;
    const QStringList runtimeError{"std::runtime_error", "nobody catches this"};

    QTest::newRow("write through a null pointer")
        << "null" << "c0000005" << "framework" << QStringList{"0", "2", "1", "0"} << none;
    // The loader holds its lock throughout, so a report that asks the loader
    // anything never gets its answer.
    QTest::newRow("null pointer while the library loads")
        << "null-while-loading" << "c0000005" << "framework" << QStringList{"0", "2", "1", "0"} << none;
    QTest::newRow("call to address 0x1234")
        << "jump" << "c0000005" << "1234" << QStringList{"0", "2", "8", "1234"} << none;
    QTest::newRow("integer division by zero")
        << "divide" << "c0000094" << "framework" << QStringList{"0", "0"} << none;
    QTest::newRow("stack overflow")
        << "overflow" << "c00000fd" << "framework" << QStringList{"0", "2"} << none;
    QTest::newRow("stack overflow on a worker thread")
        << "overflow-thread" << "c00000fd" << "framework" << QStringList{"0", "2"} << none;
    QTest::newRow("stack overflow on a C11 thread")
        << "overflow-c11-thread" << "c00000fd" << "framework" << QStringList{"0", "2"} << none;
    QTest::newRow("null pointer while a thread keeps retrying open()")
        << "null-while-opening" << "c0000005" << "framework" << QStringList{"0", "2", "1", "0"} << none;
    QTest::newRow("null pointer after summer time began")
        << "null-after-line" << "c0000005" << "framework" << QStringList{"0", "2", "1", "0"} << none;
    QTest::newRow("null pointer with every descriptor in use")
        << "null-no-descriptors" << "c0000005" << "framework" << QStringList{"0", "2", "1", "0"} << none;
    QTest::newRow("abort") << "abort" << "40000015" << QString() << QStringList{"0", "0"} << none;
    QTest::newRow("uncaught exception")
        << "throw" << "e06d7363" << QString() << QStringList{"1", "0"} << runtimeError;
    QTest::newRow("uncaught exception on a thread")
        << "throw-thread" << "e06d7363" << QString() << QStringList{"1", "0"} << runtimeError;
}

void CrashFilterTest::reportsAndApologises()
{
    QFETCH(QString, kind);
    QFETCH(QString, code);
    QFETCH(QString, address);
    QFETCH(QStringList, details);
    QFETCH(QStringList, exception);

    // The crash that waits for a line comes once summer time began, which
    // is far enough ahead for the launcher to start before.
    const bool summerTimeBegins = kind.endsWith("-after-line");
    const QDateTime change = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 15, Qt::UTC);
    const qint64 offset = zoneOffsetSeconds + (summerTimeBegins ? 3600 : 0);
    LauncherInstall install(QStringLiteral(CORE_STAND_IN));
    const QDateTime started = zoneNow(offset).addSecs(-1);
    auto run = startCrashing(install, kind, summerTimeBegins ? zoneWithSummerTimeFrom(change) : zone);
    if (summerTimeBegins) {
        QVERIFY(run->waitForOutput("Run called"));
        QVERIFY2(QDateTime::currentDateTimeUtc() < change, "the launcher started after the change");
        QTRY_VERIFY_WITH_TIMEOUT(QDateTime::currentDateTimeUtc() > change, 20000);
        run->process().write("crash now\n");
    }

    QString logged;
    const QString failure = closeApology(*run, code, logged);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const QDateTime ended = zoneNow(offset).addSecs(1);

    const QString log = QString::fromUtf8(run->standardError());
    QVERIFY2(log.contains("errCode:  \"" + code + "\"\nerrAddr:  \"" + logged + "\"\nerrFlag:  \""
                          + details.at(0) + "\"\nerrPara:  \"" + details.at(1) + "\"\n"),
             qPrintable(log));
    if (!address.isEmpty() && address != "framework")
        QCOMPARE(logged, address);

    const Report report = onlyReport();
    const QDateTime named = QDateTime::fromString(report.name.mid(5, 19), nameFormat);
    QVERIFY2(named >= started.toTimeSpec(Qt::LocalTime) && named <= ended.toTimeSpec(Qt::LocalTime)
                 && report.name == reportName(named),
             qPrintable(reportFiles().join(' ')));
    QString head = "errCode: " + code + "\nerrAddr: " + logged + "\nerrFlag: " + details.at(0)
                   + "\nerrPara: " + details.at(1) + "\n";
    for (int i = 2; i < details.size(); ++i)
        head += QStringLiteral("errParam[%1]: %2\n").arg(i - 2).arg(details.at(i));
    if (!exception.isEmpty()) {
        head += "errType: " + exception.at(0) + "\nerrWhat: " + exception.at(1) + "\n";
        QVERIFY2(log.contains("errType:  \"" + exception.at(0) + "\"\nerrWhat:  \"" + exception.at(1)
                              + "\"\n"),
                 qPrintable(log));
    }
    QVERIFY2(report.content.startsWith(head.toUtf8()), report.content.left(400));
    QVERIFY(report.content.contains("\nbacktrace:\n"));
    if (address != "framework")
        return;
    QVERIFY2(inCodeOf(report.content, "libCore.so", logged.toULongLong(nullptr, 16)), qPrintable(logged));
    // The unwinder cannot get past a jump to nowhere, but from a fault in
    // the framework's code it reaches the frame that faulted.
    const QList<quint64> frames = backtraceOf(report.content);
    QVERIFY2(std::any_of(frames.begin(), frames.end(),
                         [&](quint64 frame) { return inCodeOf(report.content, "libCore.so", frame); }),
             report.content.mid(report.content.indexOf("backtrace:"), 2000));
}

void CrashFilterTest::apologisesWhateverBecameOfTheReportFile_data()
{
    QTest::addColumn<QString>("before");
    QTest::newRow("logs folder removed") << "remove";
    QTest::newRow("file of the same name exists") << "plant";
}

void CrashFilterTest::apologisesWhateverBecameOfTheReportFile()
{
    QFETCH(QString, before);

    LauncherInstall install(QStringLiteral(CORE_STAND_IN));
    auto run = startCrashing(install, QStringLiteral("null-after-line"));
    QVERIFY(run->waitForOutput("Run called"));

    const QString logs = LauncherInstall::logsFolder();
    // Longer than any report, so that a report written over it without
    // truncating leaves its end behind.
    const QByteArray planted = QByteArray(256 * 1024, '#') + "end of an older report";
    if (before == "remove")
        QVERIFY(QDir(logs).removeRecursively());
    // The crash comes within the next half minute: every name it can take
    // is already there.
    const QDateTime now = zoneNow();
    for (int second = -1; before == "plant" && second < 30; ++second) {
        QFile file(logs + '/' + reportName(now.addSecs(second)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(planted);
    }
    run->process().write("crash now\n");

    QString logged;
    const QString failure = closeApology(*run, QStringLiteral("c0000005"), logged);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    if (before == "remove") {
        QVERIFY(!QFileInfo::exists(logs));
        return;
    }
    int replaced = 0;
    for (const QString &name : reportFiles()) {
        QFile file(logs + '/' + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        if (content == planted)
            continue;
        ++replaced;
        QVERIFY2(content.startsWith("errCode: c0000005\n") && !content.contains("end of an older report"),
                 qPrintable(name));
    }
    QCOMPARE(replaced, 1);
}

void CrashFilterTest::endsWhileTheBoxStaysOpen()
{
    LauncherInstall install(QStringLiteral(CORE_STAND_IN));
    auto run = install.start({QStringLiteral("null")});
    // Nobody closes the box.
    QVERIFY2(run->waitForFinished(30000), "the crashed launcher waits for the box for ever");
    QCOMPARE(run->process().exitStatus(), QProcess::CrashExit);

    QString logged;
    const QString failure = closeApology(*run, QStringLiteral("c0000005"), logged);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_MAIN(CrashFilterTest)
#include "tst_CrashFilter.moc"
