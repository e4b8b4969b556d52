#include <QtTest>

// The parser ends the process itself, so this runs it as a real process and
// looks at what the parent sees: exit status and the two output streams.
class CmdlineExitTest : public QObject
{
    Q_OBJECT

private slots:
    void endsProcess_data();
    void endsProcess();
};

static const char usage[] =
    "usage: %1 --mode=string [options] ... \n"
    "options:\n"
    "  -c, --count    how many (int [=3])\n"
    "      --mode     mode (string)\n"
    "  -?, --help     print this message\n";

void CmdlineExitTest::endsProcess_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("output");

    const QString usageOnly = QString::fromLatin1(usage);
    QTest::newRow("parsed") << QStringList{"--mode", "a", "-c", "4"} << 0 << QString()
                            << "count=4 mode=a\nexit handlers ran\n";
    QTest::newRow("no arguments, required missing")
        << QStringList{} << 0 << usageOnly << "exit handlers ran\n";
    QTest::newRow("help") << QStringList{"--mode=a", "-?"} << 0 << usageOnly
                          << "exit handlers ran\n";
    QTest::newRow("help wins over errors")
        << QStringList{"--nothing", "--help", "-c", "x"} << 0 << usageOnly << "exit handlers ran\n";
    QTest::newRow("first error only")
        << QStringList{"--nothing", "-z"} << 1 << "undefined option: --nothing\n" + usageOnly
        << "exit handlers ran\n";
    QTest::newRow("required missing among others")
        << QStringList{"-c", "5"} << 1 << "need option: --mode\n" + usageOnly << "exit handlers ran\n";
    QTest::newRow("text for help flag")
        << QStringList{"--mode=a", "--help=1"} << 1 << "option value is invalid: --help=1\n" + usageOnly
        << "exit handlers ran\n";
}

void CmdlineExitTest::endsProcess()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QFETCH(QString, output);

    const QString program = QCoreApplication::applicationDirPath() + "/cmdline_probe";
    QProcess probe;
    probe.start(program, arguments);
    QVERIFY2(probe.waitForFinished(30000), qPrintable(probe.errorString()));
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), exitCode);
    const QString stderrText = QString::fromUtf8(probe.readAllStandardError());
    // The probe logs the reader's refusal through Qt's debug stream; that
    // line is not part of what the parser writes.
    QString withoutLog = stderrText;
    withoutLog.remove(QStringLiteral("bad cast\n"));
    QCOMPARE(withoutLog, QString(error).replace(QLatin1String("%1"), program));
    QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()), output);
}

QTEST_GUILESS_MAIN(CmdlineExitTest)
#include "tst_cmdline_exit.moc"
