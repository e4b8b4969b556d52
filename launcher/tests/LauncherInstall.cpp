#include "LauncherInstall.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>

LauncherRun::LauncherRun(std::unique_ptr<QProcess> process)
    : launcher(std::move(process))
{
}

LauncherRun::~LauncherRun()
{
    if (launcher->state() != QProcess::NotRunning) {
        launcher->kill();
        launcher->waitForFinished(10000);
    }
}

void LauncherRun::collect()
{
    out += launcher->readAllStandardOutput();
    err += launcher->readAllStandardError();
}

bool LauncherRun::waitForOutput(const QByteArray &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        collect();
        if (out.contains(text) || err.contains(text))
            return true;
        if (deadline.hasExpired() || launcher->state() == QProcess::NotRunning)
            return false;
        launcher->waitForReadyRead(100);
    }
}

bool LauncherRun::waitForFinished(int timeoutMs)
{
    const bool finished =
        launcher->state() == QProcess::NotRunning || launcher->waitForFinished(timeoutMs);
    collect();
    return finished;
}

QByteArray LauncherRun::standardOutput()
{
    collect();
    return out;
}

QByteArray LauncherRun::standardError()
{
    collect();
    return err;
}

LauncherInstall::LauncherInstall(const QString &coreLibrary, const QStringList &moreFiles)
{
    for (const char *program : {"Optivane", "ApologyBox"})
        QFile::copy(QStringLiteral(STATION_BIN_DIR "/") + program, dir.filePath(program));
    if (!coreLibrary.isEmpty())
        QFile::copy(coreLibrary, dir.filePath(QStringLiteral("libCore.so")));
    for (const QString &file : moreFiles)
        QFile::copy(file, dir.filePath(QFileInfo(file).fileName()));
}

QString LauncherInstall::logsFolder()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Optivane/logs");
}

std::unique_ptr<LauncherRun> LauncherInstall::start(const QStringList &arguments,
                                                    const QProcessEnvironment &environment) const
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    // A crash may leave a core file in the working folder.
    process->setWorkingDirectory(dir.path());
    process->start(dir.filePath(QStringLiteral("Optivane")), arguments);
    process->waitForStarted();
    return std::make_unique<LauncherRun>(std::move(process));
}
