#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLibrary>
#include <QRegularExpression>
#include <QStandardPaths>

#include "SingleApplication.h"
#include "platform/CrashFilter.h"
#include "platform/ExitProcess.h"
#include "platform/KeepAwake.h"
#include "platform/Locate.h"

using RunFunction = int (*)(int, char **);

// Without the framework nothing ran: a script or a desktop shortcut must be
// able to tell. Distinct from the framework's own 1 for a bad command line
// and from 255 after every run.
static const int coreNotLoadedStatus = 2;

static void setDefaultFont()
{
    QFont font;
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    QApplication::setFont(font);
}

// The reports of the last few crashes outlive the next starts, so that the
// operator can still send them; a crash's box may even be showing yet.
static const int keptReports = 5;

// Crash reports under the names the crash filter gives them, whose time
// stamps run from the year down to the second: name order is age order.
static QStringList lastReports(const QDir &logs)
{
    static const QRegularExpression reportName(
        QStringLiteral("^dump_\\d{4}-\\d\\d-\\d\\d_\\d\\d\\.\\d\\d\\.\\d\\d\\.dmp$"));
    const QStringList reports =
        logs.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name).filter(reportName);
    return reports.mid(qMax(0, reports.size() - keptReports));
}

// Everything of an earlier run goes but the last crash reports. A link is
// removed, never followed: what it points to is not the launcher's.
static void emptyLogsFolder(const QString &path)
{
    const QDir logs(path);
    const QStringList kept = lastReports(logs);
    const QFileInfoList entries =
        logs.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (kept.contains(entry.fileName()))
            continue;
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

// A logs folder that is a link would have the crash filter write, and every
// start empty, a folder outside the launcher's own: the link is replaced by a
// folder and what it pointed to is left alone.
static QString prepareLogsFolder()
{
    const QString logs =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs");
    const QFileInfo entry(logs);
    if (entry.isSymLink()) {
        qDebug() << "logs folder is a symbolic link, replaced by a folder:" << logs << "->"
                 << entry.symLinkTarget();
        QFile::remove(logs);
    } else if (entry.isDir()) {
        emptyLogsFolder(logs);
    }
    if (!QDir(logs).exists())
        QDir().mkpath(logs);
    return logs;
}

int main(int argc, char **argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    platform::keepSystemAndDisplayAwake(QStringLiteral("Optivane"),
                                        QStringLiteral("The gimbal station is running"));
    setDefaultFont();

    SingleApplication app(argc, argv);
    const QString logs = prepareLogsFolder();
    platform::installCrashFilter(logs, platform::programPath(QStringLiteral("ApologyBox")));

    QLibrary core(platform::libraryPath(QStringLiteral("Core")));
    if (!core.load()) {
        qDebug() << "load Core library failed: " << core.errorString();
        return coreNotLoadedStatus;
    }
    if (auto run = reinterpret_cast<RunFunction>(core.resolve("Run")))
        run(argc, argv);
    qDebug() << "unload Core";
    core.unload();
    qInstallMessageHandler(nullptr);
    // Threads and objects that the framework left behind must not run their
    // destructors against an unloaded library.
    platform::exitProcessNow(-1);
}
