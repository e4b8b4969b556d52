// Measures the messaging core between two processes against raw local
// sockets in the same run:
//   round trip: a 200-byte packet sent and echoed back, p50 and p99;
//   throughput: 200-byte packets one way, counted and checked for order.
// Usage: nq_bench [packets] (run it with 2>/dev/null: nodes log every read).
// The program starts itself once more with --peer as the echoing side.

#include "INQCore.h"
#include "NQTestPacket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSemaphore>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace {

constexpr int packetBytes = 200;
constexpr int roundTrips = 5000;
constexpr int warmUp = 200;
// NQTestPacket: type name (4 + 24 bytes), text length (4), UTF-16 text.
constexpr int textChars = (packetBytes - 4 - 24 - 4) / 2;

QString padded(char kind, int index)
{
    return QLatin1Char(kind) + QString::number(index).rightJustified(textChars - 1, QLatin1Char('0'));
}

INQCore *loadCore()
{
    static QLibrary library(QCoreApplication::applicationDirPath() + QStringLiteral("/libNQCore.so"));
    auto getCore = reinterpret_cast<GetNQCoreFunction>(library.resolve("getNQCore"));
    if (!getCore) {
        std::fprintf(stderr, "cannot load NQCore: %s\n", qPrintable(library.errorString()));
        std::exit(2);
    }
    INQCore *core = getCore();
    core->getDataBuilder()->registerBuilder(QStringLiteral("NQTestPacket"), &NQTestPacket::create);
    return core;
}

QString textOf(INQData *data)
{
    const QString text = static_cast<NQTestPacket *>(data)->text;
    data->release();
    return text;
}

// The echoing side: pings go back, stream packets are counted in order and
// answered with one "done" packet carrying the count of in-order arrivals.
class Peer : public INQNodeCallback
{
public:
    Peer(INQNode *node, int expected) : node(node), expected(expected) {}

    void onNodeOnline(QString nodeName, INQData *data) override
    {
        data->release();
        NQTestPacket hello(QStringLiteral("hello"));
        node->send(nodeName, &hello);
    }
    void onNodeData(QString nodeName, INQData *data) override
    {
        const QString text = textOf(data);
        if (text.startsWith(QLatin1Char('p'))) {
            NQTestPacket echo(text);
            node->send(nodeName, &echo);
        } else if (text == padded('s', received)) {
            if (++received == expected) {
                NQTestPacket done(QStringLiteral("done %1").arg(received));
                node->send(nodeName, &done);
            }
        }
    }
    void onNodeOffline(QString) override { QCoreApplication::exit(0); }

private:
    INQNode *node;
    int expected;
    int received = 0;
};

// Raw counterpart: the first connection echoes, the second counts bytes and
// answers one byte when all have arrived.
class RawPeer : public QObject
{
public:
    RawPeer(const QString &name, qint64 streamBytes) : streamBytes(streamBytes)
    {
        QLocalServer::removeServer(name);
        server.listen(name);
        connect(&server, &QLocalServer::newConnection, this, &RawPeer::accept);
    }

private:
    void accept()
    {
        QLocalSocket *socket = server.nextPendingConnection();
        const bool echo = connections++ == 0;
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, echo] {
            const QByteArray bytes = socket->readAll();
            if (echo) {
                socket->write(bytes);
            } else if ((counted += bytes.size()) == streamBytes) {
                socket->write("k");
            }
        });
    }

    QLocalServer server;
    qint64 streamBytes;
    qint64 counted = 0;
    int connections = 0;
};

int runPeer(const QString &rawName, int packets)
{
    INQCore *core = loadCore();
    INQNode *node = core->createNode();
    Peer peer(node, packets);
    RawPeer raw(rawName, qint64(packets) * packetBytes);
    if (!node->start(&peer))
        return 1;
    NQTestPacket hello(QStringLiteral("hello"));
    node->online(&hello);
    return QCoreApplication::exec();
}

// The measuring side's callback: hands every packet to the main thread.
class Driver : public INQNodeCallback
{
public:
    void onNodeOnline(QString nodeName, INQData *data) override
    {
        data->release();
        if (peerName.isEmpty()) {
            peerName = nodeName;
            met.release();
        }
    }
    void onNodeData(QString, INQData *data) override
    {
        last = textOf(data);
        if (chained > 0)
            chainNext();
        else
            arrived.release();
    }
    void onNodeOffline(QString) override {}

    // Round trips started from the callback itself, as a user that answers
    // on the dispatcher thread would: no hand-over to the main thread.
    void chain(INQNode *chainNode, int count)
    {
        node = chainNode;
        chained = count;
        samples.clear();
        timer.start();
        NQTestPacket ping(padded('p', 0));
        node->send(peerName, &ping);
        arrived.acquire();
    }

    std::vector<double> samples;
    QString peerName;
    QString last;
    QSemaphore met;
    QSemaphore arrived;

private:
    void chainNext()
    {
        const double elapsed = timer.nsecsElapsed() / 1000.0;
        samples.push_back(elapsed);
        if (--chained == 0) {
            arrived.release();
            return;
        }
        NQTestPacket ping(padded('p', chained));
        timer.start();
        node->send(peerName, &ping);
    }

    INQNode *node = nullptr;
    int chained = 0;
    QElapsedTimer timer;
};

struct Latency
{
    double p50;
    double p99;
};

Latency summarise(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 99 / 100]};
}

Latency nodeRoundTrip(INQNode *node, Driver &driver)
{
    std::vector<double> samples;
    QElapsedTimer timer;
    for (int i = 0; i < warmUp + roundTrips; ++i) {
        NQTestPacket ping(padded('p', i));
        timer.start();
        node->send(driver.peerName, &ping);
        driver.arrived.acquire();
        if (i >= warmUp)
            samples.push_back(timer.nsecsElapsed() / 1000.0);
    }
    return summarise(samples);
}

Latency rawRoundTrip(QLocalSocket &socket)
{
    std::vector<double> samples;
    const QByteArray message(packetBytes, 'p');
    QElapsedTimer timer;
    for (int i = 0; i < warmUp + roundTrips; ++i) {
        timer.start();
        socket.write(message);
        socket.flush();
        qint64 got = 0;
        while (got < packetBytes && socket.waitForReadyRead(5000))
            got += socket.readAll().size();
        if (i >= warmUp)
            samples.push_back(timer.nsecsElapsed() / 1000.0);
    }
    return summarise(samples);
}

double nodeThroughput(INQNode *node, Driver &driver, int packets, bool *complete)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < packets; ++i) {
        NQTestPacket packet(padded('s', i));
        node->send(driver.peerName, &packet);
    }
    *complete = driver.arrived.tryAcquire(1, 120000) && driver.last == QStringLiteral("done %1").arg(packets);
    return packets / (timer.nsecsElapsed() / 1e9);
}

double rawThroughput(QLocalSocket &socket, int packets)
{
    const QByteArray message(packetBytes, 's');
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < packets; ++i) {
        socket.write(message);
        if (socket.bytesToWrite() > (1 << 20))
            socket.waitForBytesWritten(5000);
    }
    socket.flush();
    while (socket.bytesAvailable() == 0 && socket.waitForReadyRead(120000)) {
    }
    return packets / (timer.nsecsElapsed() / 1e9);
}

int runDriver(int packets)
{
    const QString rawName = QStringLiteral("nq-bench-raw-%1").arg(QCoreApplication::applicationPid());
    QProcess peerProcess;
    peerProcess.setStandardErrorFile(QProcess::nullDevice());
    peerProcess.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    peerProcess.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--peer"), rawName, QString::number(packets)});

    INQCore *core = loadCore();
    INQNode *node = core->createNode();
    Driver driver;
    if (!peerProcess.waitForStarted() || !node->start(&driver))
        return 1;
    NQTestPacket hello(QStringLiteral("hello"));
    node->online(&hello);
    if (!driver.met.tryAcquire(1, 60000) || !driver.arrived.tryAcquire(1, 10000))
        return 1; // the peer's greeting tells us its direct socket is up

    QLocalSocket raw;
    QLocalSocket rawStream;
    raw.connectToServer(rawName);
    rawStream.connectToServer(rawName);
    if (!raw.waitForConnected(5000) || !rawStream.waitForConnected(5000))
        return 1;

    const Latency rawLatency = rawRoundTrip(raw);
    const Latency nodeLatency = nodeRoundTrip(node, driver);
    driver.chain(node, warmUp + roundTrips);
    driver.samples.erase(driver.samples.begin(), driver.samples.begin() + warmUp);
    const Latency callbackLatency = summarise(driver.samples);
    bool complete = false;
    const double nodeRate = nodeThroughput(node, driver, packets, &complete);
    const double rawRate = rawThroughput(rawStream, packets);

    std::printf("round trip, %d-byte packets, %d samples (microseconds)\n", packetBytes, roundTrips);
    const auto printLatency = [&rawLatency](const char *what, const Latency &latency) {
        std::printf("  %-30s p50 %8.1f (%.2fx)   p99 %8.1f (%.2fx)\n", what, latency.p50,
                    latency.p50 / rawLatency.p50, latency.p99, latency.p99 / rawLatency.p99);
    };
    printLatency("raw socket", rawLatency);
    printLatency("nodes, from the user's thread", nodeLatency);
    printLatency("nodes, from the callback", callbackLatency);
    std::printf("one way, %d packets of %d bytes (packets per second)\n", packets, packetBytes);
    std::printf("  %-14s %12.0f\n", "raw socket", rawRate);
    std::printf("  %-14s %12.0f   %s\n", "nodes", nodeRate,
                complete ? "all arrived, in order" : "PACKETS LOST OR REORDERED");
    std::printf("  %-14s %12.2fx\n", "ratio", nodeRate / rawRate);
    std::fflush(stdout);

    node->stop();
    peerProcess.waitForFinished(10000);
    std::_Exit(complete ? 0 : 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--peer"))
        return runPeer(arguments.value(2), arguments.value(3).toInt());
    const int packets = arguments.size() > 1 ? arguments.value(1).toInt() : 200000;
    return runDriver(packets);
}
