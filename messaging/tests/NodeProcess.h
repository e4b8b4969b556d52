#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

// A helper program (a node, a center) run by a test: collects its output
// lines and waits for them with a deadline.
class NodeProcess
{
public:
    // The node helper; PATH leads it to the center program in the bin folder.
    NodeProcess();
    NodeProcess(const QString &program, const QStringList &arguments,
                const QProcessEnvironment &environment);
    ~NodeProcess();

    static QProcessEnvironment nodeEnvironment();

    void launch();
    void command(const QString &line);
    // The node's name is its process id.
    QString name() const;

    bool waitForLine(const QString &line, int timeoutMs = 20000);
    // The first line matching the pattern, or an empty string at the deadline.
    QString waitForMatch(const QRegularExpression &pattern, int timeoutMs = 20000);
    // Sends a command and waits for the reply that begins with the word;
    // the reply's rest, or a null string at the deadline.
    QString ask(const QString &command, const QString &replyWord, int timeoutMs = 20000);
    // Lets the process run on for the given time, collecting what it says.
    void collectFor(int ms);
    int count(const QString &line);
    int countErrors(const QString &text);
    QStringList lines();
    QString errors();
    bool waitForExit(int timeoutMs, int *exitCode);
    void kill();
    // Writes what the process said to the test log, for a failed test.
    void dump();

private:
    void drain();

    QProcess process;
    QString program;
    QStringList arguments;
    QStringList outputLines;
    QByteArray partial;
    QByteArray errorText;
};

// Programs left running in this test's temporary folder by the nodes (the
// center they start detached); ended by id at the end of a test.
QList<qint64> centerProcessesOfThisTest();
void killCentersOfThisTest();
