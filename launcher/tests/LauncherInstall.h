#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A launcher started by a test, with everything it wrote so far.
class LauncherRun
{
public:
    explicit LauncherRun(std::unique_ptr<QProcess> process);
    ~LauncherRun();

    QProcess &process() { return *launcher; }
    // Waits until the program wrote `text` to standard output or error.
    bool waitForOutput(const QByteArray &text, int timeoutMs = 20000);
    bool waitForFinished(int timeoutMs = 60000);
    QByteArray standardOutput();
    QByteArray standardError();

private:
    void collect();

    std::unique_ptr<QProcess> launcher;
    QByteArray out;
    QByteArray err;
};

// An installation folder of its own: the launcher and its box program copied
// from the build, optionally a framework library as libCore.so, and any
// further files (modules, configuration) under their own names. Copies, not
// links, because the launcher finds its libraries beside its own file.
class LauncherInstall
{
public:
    explicit LauncherInstall(const QString &coreLibrary, const QStringList &moreFiles = QStringList());

    QString folder() const { return dir.path(); }
    // Where the launcher keeps its logs: the per-user application data folder.
    static QString logsFolder();
    std::unique_ptr<LauncherRun> start(const QStringList &arguments,
                                       const QProcessEnvironment &environment =
                                           QProcessEnvironment::systemEnvironment()) const;

private:
    QTemporaryDir dir;
};
