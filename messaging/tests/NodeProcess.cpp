#include "NodeProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <csignal>

NodeProcess::NodeProcess()
    : NodeProcess(QStringLiteral(STATION_TESTS_DIR "/nq_test_node"), {}, nodeEnvironment())
{
}

NodeProcess::NodeProcess(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &environment)
    : program(program), arguments(arguments)
{
    process.setProcessEnvironment(environment);
}

NodeProcess::~NodeProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QProcessEnvironment NodeProcess::nodeEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"),
                       QStringLiteral(STATION_BIN_DIR ":") + environment.value(QStringLiteral("PATH")));
    return environment;
}

void NodeProcess::launch()
{
    process.start(program, arguments);
    QVERIFY2(process.waitForStarted(10000), qPrintable(program));
}

void NodeProcess::command(const QString &line)
{
    process.write(line.toUtf8() + '\n');
    process.waitForBytesWritten(5000);
}

QString NodeProcess::name() const
{
    return QString::number(process.processId());
}

void NodeProcess::drain()
{
    partial += process.readAllStandardOutput();
    errorText += process.readAllStandardError();
    int end;
    while ((end = partial.indexOf('\n')) >= 0) {
        outputLines << QString::fromUtf8(partial.left(end));
        partial.remove(0, end + 1);
    }
}

bool NodeProcess::waitForLine(const QString &line, int timeoutMs)
{
    return !waitForMatch(QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(line) + QLatin1Char('$')),
                         timeoutMs).isEmpty();
}

QString NodeProcess::waitForMatch(const QRegularExpression &pattern, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        drain();
        for (const QString &line : qAsConst(outputLines)) {
            if (pattern.match(line).hasMatch())
                return line;
        }
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return QString();
        // The event loop reads every process's pipes, not only this one's:
        // a process whose pipe fills up would stall in its next log line.
        QTest::qWait(20);
    }
}

QString NodeProcess::ask(const QString &command, const QString &replyWord, int timeoutMs)
{
    const QRegularExpression reply(QLatin1Char('^') + QRegularExpression::escape(replyWord) + QLatin1Char(' '));
    const int before = lines().filter(reply).size();
    this->command(command);
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QStringList replies = lines().filter(reply);
        if (replies.size() > before)
            return replies.at(before).mid(replyWord.size() + 1);
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return QString();
        QTest::qWait(20);
    }
}

void NodeProcess::collectFor(int ms)
{
    QTest::qWait(ms);
    drain();
}

int NodeProcess::count(const QString &line)
{
    drain();
    return outputLines.count(line);
}

int NodeProcess::countErrors(const QString &text)
{
    drain();
    return errorText.count(text.toUtf8());
}

QStringList NodeProcess::lines()
{
    drain();
    return outputLines;
}

QString NodeProcess::errors()
{
    drain();
    return QString::fromUtf8(errorText);
}

bool NodeProcess::waitForExit(int timeoutMs, int *exitCode)
{
    const bool ended = process.waitForFinished(timeoutMs);
    drain();
    *exitCode = process.exitCode();
    return ended && process.exitStatus() == QProcess::NormalExit;
}

void NodeProcess::kill()
{
    process.kill();
    process.waitForFinished(5000);
    drain();
}

void NodeProcess::dump()
{
    QTest::qWait(100);
    drain();
    qWarning().noquote() << "---" << program << process.processId() << "said:\n"
                         << outputLines.join(QLatin1Char('\n')).right(4000) << "\n--- and logged:\n"
                         << QString::fromUtf8(errorText.right(4000));
}

static bool runsInThisTest(const QString &pidText)
{
    const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pidText));
    if (QFileInfo(exe) != QFileInfo(QStringLiteral(STATION_BIN_DIR "/NQCenter")))
        return false;
    QFile environ(QStringLiteral("/proc/%1/environ").arg(pidText));
    if (!environ.open(QIODevice::ReadOnly))
        return false;
    const QByteArray own = "TMPDIR=" + qgetenv("TMPDIR");
    return environ.readAll().split('\0').contains(own);
}

QList<qint64> centerProcessesOfThisTest()
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (numeric && runsInThisTest(entry))
            pids << pid;
    }
    return pids;
}

void killCentersOfThisTest()
{
    for (qint64 pid : centerProcessesOfThisTest())
        ::kill(pid_t(pid), SIGKILL);
}
