#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFont>
#include <QLibrary>
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

// Nothing of an earlier run is kept: the folder only ever holds the crash
// report of the current one.
static QString recreateLogsFolder()
{
    const QString logs =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs");
    QDir(logs).removeRecursively();
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
    const QString logs = recreateLogsFolder();
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
