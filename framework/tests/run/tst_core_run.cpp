#include <QtTest>

// Run reads Module.xml and Event.xml beside the running program, so every
// case builds an installation folder of its own: the runner standing in for
// the launcher, the Core library, the probe module and the case's
// configuration files, and runs it there as a real process.
class CoreRunTest : public QObject
{
    Q_OBJECT

private slots:
    void runOutcome_data();
    void runOutcome();
    void commandLineEndsRun_data();
    void commandLineEndsRun();
    void deepConfigurationRefused_data();
    void deepConfigurationRefused();

private:
    struct Outcome
    {
        int exitCode = -1;
        QString errorText;
    };
    static bool prepareFolder(const QString &folder, const QString &fixtureSet);
    static Outcome runIn(const QString &folder, const QStringList &arguments,
                         const QStringList &environment);
    static QString faultInLog(const QString &log, const QStringList &expected, const QStringList &forbidden);
};

static const QString programName = QStringLiteral("core_runner");

bool CoreRunTest::prepareFolder(const QString &folder, const QString &fixtureSet)
{
    const QDir here(QCoreApplication::applicationDirPath());
    const QDir bin(QStringLiteral(STATION_BIN_DIR));
    QStringList sources{here.filePath(programName), here.filePath("libMainUIProbe.so"),
                        bin.filePath("libCore.so")};
    if (!fixtureSet.isEmpty()) {
        const QDir fixtures(QStringLiteral(STATION_TEST_DATA_DIR "/") + fixtureSet);
        for (const QString &name : fixtures.entryList(QDir::Files))
            sources << fixtures.filePath(name);
    }
    for (const QString &source : sources) {
        if (!QFile::copy(source, QDir(folder).filePath(QFileInfo(source).fileName())))
            return false;
    }
    return true;
}

CoreRunTest::Outcome CoreRunTest::runIn(const QString &folder, const QStringList &arguments,
                                        const QStringList &environment)
{
    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    runner.setProcessEnvironment(env);
    runner.setWorkingDirectory(folder);
    runner.start(QDir(folder).filePath(programName), arguments);
    Outcome outcome;
    if (!runner.waitForFinished(60000) || runner.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.exitCode = runner.exitCode();
    outcome.errorText = QString::fromUtf8(runner.readAllStandardError());
    return outcome;
}

static QString utf8Hex(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}

void CoreRunTest::runOutcome_data()
{
    QTest::addColumn<QString>("fixtureSet");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expected");   // each matches exactly one line, in this order
    QTest::addColumn<QStringList>("forbidden");  // no line contains any of these

    const QString started = "will initialize application context";
    const QString failed = "initialize application context failed, application will exit";
    const QString ok = "initialize application ok";
    const QString uninitializing = "will uninitialize application context";
    const QString over = "uninitialize application context over, application will exit";
    // A complete run leaves no thread behind, the event thread included.
    const QString ended = "runner: Run returned 0 threads left running: 0";
    const QString defaults = "probe: values ui=startup row=0 col=0 scan=0 cutter=1.2 x=20 y=20 path= modified=true";

    QTest::newRow("no module config")
        << "events-only" << QStringList() << QStringList() << 255
        << QStringList{started, "open file failed: .*/Module\\.xml.*", "read module config file failed",
                       "init module manager failed", failed,
                       "runner: Run returned -1 threads left running: 0"}
        << QStringList{ok, "Event.xml", uninitializing};
    QTest::newRow("no event config")
        << "modules-only" << QStringList() << QStringList() << 255
        << QStringList{started, "open file failed: .*/Event\\.xml.*", "read event config file failed",
                       "init event manager failed", failed,
                       "runner: Run returned -1 threads left running: 0"}
        << QStringList{ok, "probe:", uninitializing};
    QTest::newRow("no main ui service")
        << "no-main-ui" << QStringList() << QStringList() << 0
        << QStringList{started, ok, "can't find the module which the service .*MainUIService.*",
                       uninitializing, over, ended}
        << QStringList{"probe:"};
    QTest::newRow("main ui runs on the calling thread")
        << "main-ui" << QStringList() << QStringList() << 0
        << QStringList{started, ok, "probe: Initialize", "probe: StartMainUI on calling thread",
                       QRegularExpression::escape(defaults), "probe: RunMainUI on calling thread",
                       uninitializing, "probe: Uninitialize", over, ended}
        << QStringList{"on another thread", "incomplete"};
    const QString path = QString::fromUtf8("/tmp/\xe7\x85\xa7\xe7\x89\x87/caf\xc3\xa9 1");
    QTest::newRow("values given, c and C apart")
        << "main-ui"
        << QStringList{"--ui=login", "-c", "2", "-C", "0.5", "-r", "-3", "-s", "1", "-x", "1e3",
                       "--subphoto-mm-pixel-scale-y", "7.25", "-p", path, "--log=debug"}
        << QStringList() << 0
        << QStringList{"probe: values ui=login row=-3 col=2 scan=1 cutter=0.5 x=1000 y=7.25 path="
                       + utf8Hex(path) + " modified=true"}
        << QStringList{"incomplete"};
    QTest::newRow("short ui")
        << "main-ui" << QStringList{"-u", "login", "-C", "2"} << QStringList() << 0
        << QStringList{"probe: values ui=login row=0 col=0 scan=0 cutter=2 x=20 y=20 path= modified=true"}
        << QStringList{"incomplete"};
    QTest::newRow("main ui refuses to initialize")
        << "main-ui" << QStringList() << QStringList{"PROBE_FAIL_INITIALIZE=1"} << 0
        << QStringList{ok, "probe: Initialize refused", "initialize service failed: .*MainUIService.*",
                       uninitializing, over, ended}
        << QStringList{"StartMainUI", "RunMainUI"};
    QTest::newRow("event fired on the way out released")
        << "main-ui" << QStringList() << QStringList{"PROBE_FIRE_ON_EXIT=1"} << 0
        << QStringList{uninitializing, "probe: Uninitialize",
                       "event manager is not in a ready status, event will not be fired", "probe: release late",
                       over, ended}
        << QStringList{"handle event"};
    QTest::newRow("queued events released undelivered")
        << "main-ui" << QStringList() << QStringList{"PROBE_QUEUE_EVENTS=1"} << 0
        << QStringList{"probe: RunMainUI on calling thread", "probe: handle event 1 first",
                       "probe: RunMainUI returns", uninitializing, "probe: release first",
                       "probe: release second", "probe: release third", "probe: Uninitialize", over, ended}
        << QStringList{"handle event 2", "handle event 3"};
}

void CoreRunTest::runOutcome()
{
    QFETCH(QString, fixtureSet);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, forbidden);

    QTemporaryDir folder;
    QVERIFY(prepareFolder(folder.path(), fixtureSet));
    const Outcome outcome = runIn(folder.path(), arguments, environment);
    QVERIFY2(outcome.exitCode == exitCode, qPrintable(outcome.errorText));
    const QString fault = faultInLog(outcome.errorText, expected, forbidden);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

// Empty when each expected pattern matches exactly one line, in order, and
// no line holds a forbidden text; otherwise what is wrong.
QString CoreRunTest::faultInLog(const QString &log, const QStringList &expected, const QStringList &forbidden)
{
    const QStringList lines = log.split('\n');
    int previous = -1;
    for (const QString &pattern : expected) {
        const QRegularExpression line(QRegularExpression::anchoredPattern(pattern));
        if (lines.filter(line).size() != 1)
            return pattern + " in:\n" + log;
        const int at = lines.indexOf(line);
        if (at <= previous)
            return pattern + " out of order in:\n" + log;
        previous = at;
    }
    for (const QString &text : forbidden) {
        if (log.contains(text))
            return text + " in:\n" + log;
    }
    return QString();
}

void CoreRunTest::deepConfigurationRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("fixture");
    QTest::newRow("Module.xml") << "Module.xml" << "plain.xml";
    QTest::newRow("Event.xml") << "Event.xml" << "plain.xml";
    // What a streaming reader stops at and the DOM parser reads through.
    QTest::newRow("undeclared namespace prefix") << "Module.xml" << "undeclared-prefix.xml";
    QTest::newRow("attribute given twice") << "Event.xml" << "duplicate-attribute.xml";
    QTest::newRow("unknown encoding name") << "Module.xml" << "unknown-encoding.xml";
    QTest::newRow("control characters") << "Event.xml" << "control-characters.xml";
    QTest::newRow("UTF-16 with CRLF line ends") << "Module.xml" << "utf16-crlf.xml";
    QTest::newRow("entities that open elements") << "Event.xml" << "markup-entities.xml";
}

// The fixture with its {open|close} marker replaced by each repeated far
// deeper than any parser's stack allows, in the fixture's own encoding.
static QByteArray nestedDeep(const QString &fixture)
{
    QFile file(QStringLiteral(STATION_TEST_DATA_DIR "/deep/") + fixture);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray bytes = file.readAll();
    const QByteArray utf16Mark("\xFF\xFE");
    const bool utf16 = bytes.startsWith(utf16Mark);
    const QByteArray body = bytes.mid(utf16 ? utf16Mark.size() : 0);
    QString text = utf16 ? QString::fromUtf16(reinterpret_cast<const ushort *>(body.constData()), body.size() / 2)
                         : QString::fromUtf8(body);
    const QRegularExpressionMatch marker = QRegularExpression("\\{(.*)\\|(.*)\\}").match(text);
    const int depth = 200000;
    text.replace(marker.capturedStart(), marker.capturedLength(),
                 marker.captured(1).repeated(depth) + marker.captured(2).repeated(depth));
    return utf16 ? utf16Mark + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)
                 : text.toUtf8();
}

// A configuration file nested far deeper than any parser's stack allows is
// refused, naming the file, rather than crashing every start, whatever else
// is wrong with it.
void CoreRunTest::deepConfigurationRefused()
{
    QFETCH(QString, file);
    QFETCH(QString, fixture);

    QTemporaryDir folder;
    QVERIFY(prepareFolder(folder.path(), "main-ui"));
    QFile deep(QDir(folder.path()).filePath(file));
    QVERIFY(deep.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(deep.write(nestedDeep(fixture)) > 200000);
    deep.close();

    const Outcome outcome = runIn(folder.path(), QStringList(), QStringList());
    QVERIFY2(outcome.exitCode == 255, qPrintable(outcome.errorText));
    const QString manager = file == "Module.xml" ? "module" : "event";
    const QStringList expected{"parse file failed: .*/" + QRegularExpression::escape(file) + ".*",
                               "read " + manager + " config file failed", "init " + manager + " manager failed",
                               "initialize application context failed, application will exit"};
    const QString fault = faultInLog(outcome.errorText, expected, QStringList{"probe:"});
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void CoreRunTest::commandLineEndsRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("beforeUsage");

    QTest::newRow("help") << QStringList{"--help"} << 0 << QString();
    QTest::newRow("help letter among errors") << QStringList{"--ui=settings", "-?", "-z"} << 0 << "\n";
    // The reader's refusal is logged first: a one-of list leaves an empty
    // line, a number "bad cast".
    QTest::newRow("ui outside its list")
        << QStringList{"--ui=settings"} << 1 << "\noption value is invalid: --ui=settings\n";
    QTest::newRow("log outside its list")
        << QStringList{"--log=verbose"} << 1 << "\noption value is invalid: --log=verbose\n";
    QTest::newRow("row not a number")
        << QStringList{"--subphoto-row=abc"} << 1 << "bad cast\noption value is invalid: --subphoto-row=abc\n";
    QTest::newRow("value missing")
        << QStringList{"-u", "login", "--subphoto-path"} << 1 << "option needs value: --subphoto-path\n";
    QTest::newRow("unknown letter") << QStringList{"-k"} << 1 << "undefined short option: -k\n";
}

// Help and command-line errors end the process before any configuration
// file is read: the folder has none, and nothing but the usage is written.
void CoreRunTest::commandLineEndsRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, beforeUsage);

    QFile usageFile(QStringLiteral(STATION_TEST_DATA_DIR "/framework-usage.txt"));
    QVERIFY(usageFile.open(QIODevice::ReadOnly));
    QTemporaryDir folder;
    QVERIFY(prepareFolder(folder.path(), QString()));
    const QString program = QDir(folder.path()).filePath(programName);
    const QString usage = QString::fromUtf8(usageFile.readAll()).replace("%1", program);

    const Outcome outcome = runIn(folder.path(), arguments, QStringList());
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.errorText, "will initialize application context\n" + beforeUsage + usage);
}

QTEST_GUILESS_MAIN(CoreRunTest)
#include "tst_core_run.moc"
