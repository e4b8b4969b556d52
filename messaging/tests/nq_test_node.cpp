// A node in a process of its own, driven by lines on stdin, reporting on
// stdout what its callback sees. Commands:
//   start | online TEXT | send NAME TEXT | sendother NAME TEXT |
//   flood NAME COUNT | stop | release | threads | quit
// Reports: "pid N" at launch, "started NAME OK", "online NAME TEXT",
// "data NAME TEXT", "offline NAME", "stopped", "released", "threads N", and
// the faults
// "wrong-thread" (a callback on the main thread) and "late-callback" (a
// callback after stop returned).

#include "INQCore.h"
#include "NQTestPacket.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QMutex>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <mutex>
#include <thread>

namespace {

QMutex outputMutex;

void report(const QString &line)
{
    QMutexLocker locker(&outputMutex);
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

class Callback : public INQNodeCallback
{
public:
    std::atomic<bool> stopped{false};

    void onNodeOnline(QString nodeName, INQData *data) override
    {
        check();
        report(QStringLiteral("online %1 %2").arg(nodeName, textOf(data)));
    }
    void onNodeData(QString nodeName, INQData *data) override
    {
        check();
        report(QStringLiteral("data %1 %2").arg(nodeName, textOf(data)));
    }
    void onNodeOffline(QString nodeName) override
    {
        check();
        report(QStringLiteral("offline %1").arg(nodeName));
    }

private:
    void check()
    {
        if (QThread::currentThread() == qApp->thread())
            report(QStringLiteral("wrong-thread"));
        if (stopped)
            report(QStringLiteral("late-callback"));
    }
    static QString textOf(INQData *data)
    {
        const QString text = static_cast<NQTestPacket *>(data)->text;
        data->release();
        return text;
    }
};

class Driver
{
public:
    explicit Driver(INQCore *core) : core(core) {}

    void run(const QString &line)
    {
        const QStringList words = line.split(QLatin1Char(' '));
        const QString verb = words.value(0);
        if (verb == QLatin1String("start")) {
            node = core->createNode();
            const bool ok = node->start(&callback);
            report(QStringLiteral("started %1 %2").arg(node->getNodeName()).arg(ok));
        } else if (verb == QLatin1String("online")) {
            NQTestPacket packet(words.value(1));
            node->online(&packet);
        } else if (verb == QLatin1String("send") || verb == QLatin1String("sendother")) {
            auto *packet = verb == QLatin1String("send")
                ? new NQTestPacket(words.value(2))
                : new NQTestPacket(words.value(2), QStringLiteral("NQOtherPacket"));
            node->send(words.value(1), packet);
            packet->release(); // the node has serialised it already
        } else if (verb == QLatin1String("flood")) {
            for (int i = 0; i < words.value(2).toInt(); ++i) {
                NQTestPacket packet(QString::number(i));
                node->send(words.value(1), &packet);
            }
        } else if (verb == QLatin1String("stop")) {
            node->stop();
            callback.stopped = true;
            report(QStringLiteral("stopped"));
        } else if (verb == QLatin1String("release")) {
            node->release();
            node = nullptr;
            report(QStringLiteral("released"));
        } else if (verb == QLatin1String("threads")) {
            const int count = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
            report(QStringLiteral("threads %1").arg(count));
        } else if (verb == QLatin1String("quit")) {
            QCoreApplication::exit(0);
        }
    }

    bool holdsNode() const { return node; }

private:
    INQCore *core;
    INQNode *node = nullptr;
    Callback callback;
};

} // namespace

// Qt hands each command over under locks of its own, which ThreadSanitizer
// cannot see; this lock, taken on both sides before the command's captures
// are read, shows it the order. A global, so taking it reads no capture.
std::mutex handOver;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLibrary library(QStringLiteral(STATION_BIN_DIR "/libNQCore.so"));
    auto getCore = reinterpret_cast<GetNQCoreFunction>(library.resolve("getNQCore"));
    if (!getCore) {
        report(QStringLiteral("no-library ") + library.errorString());
        return 2;
    }
    INQCore *core = getCore();
    core->getDataBuilder()->registerBuilder(QStringLiteral("NQTestPacket"), &NQTestPacket::create);
    Driver driver(core);
    report(QStringLiteral("pid %1").arg(QCoreApplication::applicationPid()));

    // Commands are read on a plain thread and run on the main thread, where
    // a real user would call the node.
    std::thread reader([&app, &driver] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString command = QString::fromStdString(line);
            const std::lock_guard<std::mutex> posting(handOver);
            QMetaObject::invokeMethod(&app, [&driver, command] {
                { const std::lock_guard<std::mutex> taken(handOver); }
                driver.run(command);
            });
        }
        QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(0); });
    });
    reader.detach();
    const int status = app.exec();
    // A node still held may still run threads; end without unwinding them.
    // A released one must have none left that runs the library's code: the
    // library goes at once, and the process ends the way a user's does.
    std::fflush(stdout);
    if (driver.holdsNode())
        std::_Exit(status);
    library.unload();
    return status;
}
