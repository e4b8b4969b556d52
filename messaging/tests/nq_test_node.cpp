// A node in a process of its own, driven by lines on stdin, reporting on
// stdout what its callback sees. Commands:
//   start | online TEXT | send NAME TEXT | sendother NAME TEXT |
//   flood NAME COUNT | stop | release | threads | quit |
//   fill NAME CHARS COUNT (numbered packets of CHARS characters) |
//   received | slow MS (each numbered packet takes MS in the callback) |
//   memory | tick NAME MS (a "tick" every MS) | gap |
//   selfstop [linger] (the next data's callback stops and releases the node,
//   and the library is then unloaded; lingering, the callback returns only
//   once the unload has returned) | mapped
// Reports: "pid N" at launch, "started NAME OK", "online NAME TEXT",
// "data NAME TEXT" (numbered packets and ticks are only counted),
// "offline NAME", "stopped", "released", "threads N",
// "filled ACCEPTED REFUSED", "received N" (numbered packets), "memory KB"
// (the peak), "gap MS" (the largest between ticks since the last ask),
// "self-stopped", "unloaded OK", "mapped 0|1" (whether the library's file is
// still mapped), and the faults "wrong-thread" (a callback
// on the main thread), "late-callback" (a callback after stop returned) and
// "out-of-order" (numbered packets).

#include "INQCore.h"
#include "NQTestPacket.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QMutex>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <mutex>
#include <utility>
#include <thread>

// Qt hands each call over to the main thread under locks of its own, which
// ThreadSanitizer cannot see; this lock, taken on both sides before the
// call's captures are read, shows it the order. A global, so taking it
// reads no capture.
std::mutex handOver;

namespace {

QMutex outputMutex;

void report(const QString &line)
{
    QMutexLocker locker(&outputMutex);
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QLibrary *library = nullptr;

class Callback : public INQNodeCallback
{
public:
    std::atomic<bool> stopped{false};
    std::atomic<int> slowMs{0};
    std::atomic<int> received{0};
    // Set on the main thread before the data that it waits for is sent.
    std::atomic<INQNode *> stopOnData{nullptr};
    static inline std::atomic<bool> lingering{false};
    static inline std::atomic<bool> unloaded{false};

    void onNodeOnline(QString nodeName, INQData *data) override
    {
        check();
        report(QStringLiteral("online %1 %2").arg(nodeName, textOf(data)));
    }
    void onNodeData(QString nodeName, INQData *data) override
    {
        check();
        const QString text = textOf(data);
        if (text.startsWith(QLatin1Char('#')))
            countNumbered(text);
        else if (text == QLatin1String("tick"))
            countTick();
        else
            report(QStringLiteral("data %1 %2").arg(nodeName, text));
        if (INQNode *node = stopOnData.exchange(nullptr))
            stopFromHere(node);
    }

    // The largest gap between ticks since the last call, in ms.
    qint64 takeGap()
    {
        const std::lock_guard<std::mutex> locker(tickMutex);
        return std::exchange(largestGap, 0);
    }
    void onNodeOffline(QString nodeName) override
    {
        check();
        report(QStringLiteral("offline %1").arg(nodeName));
    }

private:
    void countNumbered(const QString &text)
    {
        const int index = text.mid(1, text.indexOf(QLatin1Char('.')) - 1).toInt();
        if (index <= lastIndex)
            report(QStringLiteral("out-of-order"));
        lastIndex = index;
        ++received;
        if (slowMs > 0)
            QThread::msleep(ulong(slowMs.load()));
    }

    void countTick()
    {
        const std::lock_guard<std::mutex> locker(tickMutex);
        if (sinceTick.isValid())
            largestGap = qMax(largestGap, sinceTick.elapsed());
        sinceTick.start();
    }

    // As a program that ends its messaging from a callback and lets the
    // library go as soon as it can.
    static void stopFromHere(INQNode *node)
    {
        node->stop();
        node->release();
        report(QStringLiteral("self-stopped"));
        {
            const std::lock_guard<std::mutex> posting(handOver);
            QMetaObject::invokeMethod(qApp, [] {
                { const std::lock_guard<std::mutex> taken(handOver); }
                report(QStringLiteral("unloaded %1").arg(library->unload()));
                unloaded = true;
            });
        }
        // The library's code that called this must still be there after the
        // unload has returned.
        QElapsedTimer waited;
        waited.start();
        while (lingering && !unloaded && waited.elapsed() < 20000)
            QThread::msleep(10);
    }

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

    int lastIndex = -1;
    // A standard mutex, which ThreadSanitizer sees, unlike Qt's.
    std::mutex tickMutex;
    QElapsedTimer sinceTick;
    qint64 largestGap = 0;
};

// The process's peak memory in KiB, as the system counts it.
QString peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return QString::fromLatin1(line.mid(6).simplified().split(' ').value(0));
    }
    return QString();
}

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
        } else if (verb == QLatin1String("fill")) {
            fill(words.value(1), words.value(2).toInt(), words.value(3).toInt());
        } else if (verb == QLatin1String("received")) {
            report(QStringLiteral("received %1").arg(callback.received.load()));
        } else if (verb == QLatin1String("slow")) {
            callback.slowMs = words.value(1).toInt();
        } else if (verb == QLatin1String("memory")) {
            report(QStringLiteral("memory ") + peakMemory());
        } else if (verb == QLatin1String("tick")) {
            const QString peer = words.value(1);
            auto *ticks = new QTimer(qApp);
            QObject::connect(ticks, &QTimer::timeout, [this, peer] {
                NQTestPacket packet(QStringLiteral("tick"));
                node->send(peer, &packet);
            });
            ticks->start(words.value(2).toInt());
        } else if (verb == QLatin1String("gap")) {
            report(QStringLiteral("gap %1").arg(callback.takeGap()));
        } else if (verb == QLatin1String("selfstop")) {
            Callback::lingering = words.value(1) == QLatin1String("linger");
            callback.stopOnData = std::exchange(node, nullptr);
        } else if (verb == QLatin1String("mapped")) {
            QFile maps(QStringLiteral("/proc/self/maps"));
            const bool mapped = maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libNQCore.so");
            report(QStringLiteral("mapped %1").arg(int(mapped)));
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
    void fill(const QString &peer, int chars, int count)
    {
        int accepted = 0;
        for (int i = 0; i < count; ++i) {
            NQTestPacket packet((QLatin1Char('#') + QString::number(i) + QLatin1Char('.')).leftJustified(chars, QLatin1Char('.')));
            accepted += node->send(peer, &packet);
        }
        report(QStringLiteral("filled %1 %2").arg(accepted).arg(count - accepted));
    }

    INQCore *core;
    INQNode *node = nullptr;
    Callback callback;
};

} // namespace


int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLibrary nqcore(QStringLiteral(STATION_BIN_DIR "/libNQCore.so"));
    library = &nqcore;
    auto getCore = reinterpret_cast<GetNQCoreFunction>(nqcore.resolve("getNQCore"));
    if (!getCore) {
        report(QStringLiteral("no-library ") + nqcore.errorString());
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
    nqcore.unload();
    return status;
}
