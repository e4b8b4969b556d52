// Stands in for the launcher: loads the Core library beside itself, calls
// Run with its own command line and exits with Run's result, after telling
// how many threads Run left running.

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QLibrary>
#include <QSet>
#include <QThread>

#include "platform/Locate.h"

static QSet<QString> threads()
{
    const QStringList ids = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return QSet<QString>(ids.begin(), ids.end());
}

// Only threads that were not there before count: one that was may end at
// any time. Counted at once, as the launcher exits as soon as Run returns.
static int threadsLeftSince(const QSet<QString> &before)
{
    return (threads() - before).size();
}

// A runtime may start a helper thread of its own along with a program's first
// thread (ThreadSanitizer does); one thread started and ended before the
// count leaves only what Run itself leaves behind to be counted.
static void startRuntimeHelpers()
{
    QThread *first = QThread::create([] {});
    first->start();
    first->wait();
    delete first;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLibrary core(platform::libraryPath(QStringLiteral("Core")));
    if (!core.load()) {
        qDebug() << "runner: load failed" << core.errorString();
        return 2;
    }
    auto run = reinterpret_cast<int (*)(int, char **)>(core.resolve("Run"));
    if (!run) {
        qDebug() << "runner: no Run";
        return 3;
    }
    startRuntimeHelpers();
    const QSet<QString> before = threads();
    const int result = run(argc, argv);
    qDebug().noquote() << "runner: Run returned" << result << "threads left running:"
                       << threadsLeftSince(before);
    return result;
}
