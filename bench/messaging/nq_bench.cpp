// Messaging between two processes, every system in the same run and with
// the same 200-byte packets:
//   raw QLocalSocket, the reference (1.00x);
//   the floor: a node's thread layout over a plain socket (FloorNode);
//   NQCore, with its per-packet log lines on and off (the rules of
//     QT_LOGGING_RULES, category nq.socket, switched in both processes);
//   ZeroMQ over ipc, one I/O thread each side.
// Round trip p50, from the callback and to the user's thread where a system
// has both, and packets per second one way, checked for loss and order.
// The systems take turns in short blocks, so that the load of the machine,
// which changes by the second, weighs on all of them alike; a ratio is the
// median of the ratios within each block.
//
// Then a node's start against the center that listens by then, beside the
// floor of a bare connect to the center's socket, the median of 20 each.
//
//   nq_bench [packets] [rounds]  2>/dev/null   (log lines go to stderr)
//
// It runs itself once more with --peer, as the side that echoes and counts,
// and with --starts, as a process whose node name is free for new nodes.

#include "FloorNode.h"
#include "INQCore.h"
#include "NQNames.h"
#include "NQTestPacket.h"
#include "ZmqPair.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QMap>
#include <QProcess>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int packetBytes = 200;
constexpr int blockRoundTrips = 100;
constexpr int blocksPerRound = 12;
constexpr int replyWaitMs = 10000;
constexpr int streamWaitMs = 120000;
// NQTestPacket: type name (4 + 24 bytes), text length (4), UTF-16 text.
constexpr int textChars = (packetBytes - 4 - 24 - 4) / 2;

QString padded(char kind, int index)
{
    return QLatin1Char(kind) + QString::number(index).rightJustified(textChars - 1, QLatin1Char('0'));
}

QString textOf(const QByteArray &bytes)
{
    INQData *packet = NQTestPacket::create(bytes);
    if (!packet)
        return QString();
    const QString text = static_cast<NQTestPacket *>(packet)->text;
    packet->release();
    return text;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString loadLine()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = file.readAll().split(' ');
    return QStringLiteral("load %1 %2 %3 (1, 5, 15 min) on %4 cores")
        .arg(QString::fromLatin1(fields.value(0)), QString::fromLatin1(fields.value(1)),
             QString::fromLatin1(fields.value(2)))
        .arg(QThread::idealThreadCount());
}

void setNodeLogs(bool on)
{
    QLoggingCategory::setFilterRules(on ? QStringLiteral("nq.socket.debug=true")
                                        : QStringLiteral("nq.socket.debug=false"));
}

// --- the systems under test, as both sides see them ----------------------

// A system that hands arriving packets to a callback thread of its own.
class CallbackTransport
{
public:
    virtual ~CallbackTransport() = default;
    // From any thread, the callback thread included.
    virtual void send(NQTestPacket &packet) = 0;
    // Called on the system's callback thread with the text of each packet.
    std::function<void(const QString &)> onText;
};

class FloorTransport : public CallbackTransport
{
public:
    FloorTransport() : node([this](const QByteArray &bytes) { onText(textOf(bytes)); }) {}
    void send(NQTestPacket &packet) override { node.send(packet.toByteArray()); }

    FloorNode node;
};

INQCore *loadCore()
{
    static QLibrary library(QStringLiteral(STATION_BIN_DIR "/libNQCore.so"));
    auto getCore = reinterpret_cast<GetNQCoreFunction>(library.resolve("getNQCore"));
    if (!getCore) {
        std::fprintf(stderr, "cannot load NQCore: %s\n", qPrintable(library.errorString()));
        std::exit(2);
    }
    INQCore *core = getCore();
    core->getDataBuilder()->registerBuilder(QStringLiteral("NQTestPacket"), &NQTestPacket::create);
    return core;
}

// A node that talks to the one peer it meets. On meeting it greets the peer
// with a data packet, which tells the peer that the direct socket is up.
class NodeTransport : public CallbackTransport, public INQNodeCallback
{
public:
    NodeTransport() : node(loadCore()->createNode()) {}

    bool start()
    {
        if (!node->start(this))
            return false;
        NQTestPacket hello(QStringLiteral("hello"));
        node->online(&hello);
        return true;
    }
    bool waitForPeer() { return met.tryAcquire(1, 60000); }
    // A node refuses what would pass its bound for a peer that has not read
    // yet: a stream that outruns its reader offers the packet again, as a
    // blocking socket would wait.
    void send(NQTestPacket &packet) override
    {
        while (!node->send(peer, &packet))
            QThread::usleep(20);
    }
    void stop() { node->stop(); }

    void onNodeOnline(QString nodeName, INQData *data) override
    {
        data->release();
        if (!peer.isEmpty())
            return;
        peer = nodeName;
        NQTestPacket hello(QStringLiteral("hello"));
        node->send(peer, &hello);
        met.release();
    }
    void onNodeData(QString, INQData *data) override
    {
        const QString text = static_cast<NQTestPacket *>(data)->text;
        data->release();
        onText(text);
    }
    void onNodeOffline(QString) override {}

private:
    INQNode *node;
    QString peer;
    QSemaphore met;
};

// --- the echoing side -----------------------------------------------------

// The same for every system: pings go back, stream packets are counted in
// order and answered with one "done" packet that carries the count.
class Echo
{
public:
    Echo(int expected, std::function<void(NQTestPacket &)> reply)
        : expected(expected), reply(std::move(reply)) {}

    void onText(const QString &text)
    {
        if (text.startsWith(QLatin1Char('p'))) {
            NQTestPacket echo(text);
            reply(echo);
        } else if (text.startsWith(QLatin1Char('s')) && text == padded('s', received)) {
            if (++received == expected) {
                NQTestPacket done(QStringLiteral("done %1").arg(received));
                received = 0;
                reply(done);
            }
        }
    }

private:
    int expected;
    int received = 0;
    std::function<void(NQTestPacket &)> reply;
};

// Raw counterpart: the first connection echoes, the second counts bytes and
// answers one byte each time a stream's bytes have all arrived.
class RawEcho : public QObject
{
public:
    RawEcho(const QString &name, qint64 streamBytes) : streamBytes(streamBytes)
    {
        QLocalServer::removeServer(name);
        server.listen(name);
        connect(&server, &QLocalServer::newConnection, this, &RawEcho::accept);
    }

private:
    void accept()
    {
        QLocalSocket *socket = server.nextPendingConnection();
        const bool echo = connections++ == 0;
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, echo] {
            const QByteArray bytes = socket->readAll();
            if (echo)
                socket->write(bytes);
            else if ((counted += bytes.size()) == streamBytes) {
                counted = 0;
                socket->write("k");
            }
        });
    }

    QLocalServer server;
    qint64 streamBytes;
    qint64 counted = 0;
    int connections = 0;
};

struct Names
{
    explicit Names(const QString &base)
        : raw(base + QStringLiteral("-raw"))
        , floor(base + QStringLiteral("-floor"))
        , zmq(QStringLiteral("ipc://") + QDir::tempPath() + QLatin1Char('/') + base + QStringLiteral("-zmq"))
    {}
    QString raw;
    QString floor;
    QString zmq;
};

// The node's and the floor's threads still own their sockets at the end, so
// either side ends without tearing them down from this thread.
[[noreturn]] void endRun(int status)
{
    std::fflush(stdout);
    std::_Exit(status);
}

// Serves every system until the driver closes its standard input; lines on
// it switch the node's log lines, and are answered once done.
int runPeer(const QString &base, int packets)
{
    const Names names(base);
    RawEcho raw(names.raw, qint64(packets) * packetBytes);

    FloorTransport floor;
    Echo floorEcho(packets, [&floor](NQTestPacket &packet) { floor.send(packet); });
    floor.onText = [&floorEcho](const QString &text) { floorEcho.onText(text); };

    ZmqPair zmq;
    Echo zmqEcho(packets, [&zmq](NQTestPacket &packet) { zmq.send(packet.toByteArray()); });
    if (!floor.node.listen(names.floor) || !zmq.bind(names.zmq))
        endRun(1);
    QThread *zmqLoop = QThread::create([&zmq, &zmqEcho] {
        QByteArray bytes;
        while (zmq.receive(&bytes, -1))
            zmqEcho.onText(textOf(bytes));
    });
    zmqLoop->start();

    QThread *control = QThread::create([] {
        std::string line;
        while (std::getline(std::cin, line)) {
            setNodeLogs(line == "logs on");
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        }
        endRun(0);
    });
    std::printf("ready\n");
    std::fflush(stdout);

    NodeTransport node;
    Echo nodeEcho(packets, [&node](NQTestPacket &packet) { node.send(packet); });
    node.onText = [&nodeEcho](const QString &text) { nodeEcho.onText(text); };
    if (!node.start())
        endRun(1);
    control->start();
    return QCoreApplication::exec();
}

// --- node starts ----------------------------------------------------------

constexpr int starts = 20;

// In a process of its own: a node is named by its process, and the driver's
// holds the name. Prints the two medians in milliseconds.
int runStarts()
{
    INQCore *core = loadCore();
    const QString center = nqnames::meetingPath(nqnames::meetingFolder(), nqnames::centerServerName());
    std::vector<double> nodeStarts, connects;
    QElapsedTimer timer;
    for (int i = 0; i < starts; ++i) {
        QLocalSocket socket;
        timer.start();
        socket.connectToServer(center);
        if (!socket.waitForConnected(replyWaitMs))
            endRun(1);
        connects.push_back(timer.nsecsElapsed() / 1e6);
        socket.abort();

        INQNode *node = core->createNode();
        timer.start();
        const bool started = node->start(nullptr);
        nodeStarts.push_back(timer.nsecsElapsed() / 1e6);
        node->stop();
        node->release();
        if (!started)
            endRun(1);
    }
    std::printf("%f %f\n", median(nodeStarts), median(connects));
    endRun(0);
}

// Runs the starts while the driver's node keeps the center up.
QString startLine()
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--starts")});
    const QList<QByteArray> medians = process.waitForFinished(streamWaitMs) && process.exitCode() == 0
                                          ? process.readAllStandardOutput().simplified().split(' ')
                                          : QList<QByteArray>();
    if (medians.size() != 2)
        return QStringLiteral("node start against a listening center: could not be measured");
    return QStringLiteral("node start against a listening center: %1 ms, median of %2 (floor, a bare connect "
                          "to the center: %3 ms)")
        .arg(medians[0].toDouble(), 0, 'f', 2)
        .arg(starts)
        .arg(medians[1].toDouble(), 0, 'f', 3);
}

// --- the measuring side ---------------------------------------------------

struct Stream
{
    double perSecond = 0.0;
    bool complete = false;
};

// Drives a callback system: round trips from the user's thread and from the
// callback itself, and a one-way stream.
class Probe
{
public:
    explicit Probe(CallbackTransport &transport) : transport(transport)
    {
        transport.onText = [this](const QString &text) { arrived(text); };
    }

    bool waitForText(const QString &text)
    {
        return replies.tryAcquire(1, replyWaitMs) && last == text;
    }

    bool fromUser(int count, std::vector<double> *samples)
    {
        QElapsedTimer timer;
        for (int i = 0; i < count; ++i) {
            NQTestPacket ping(padded('p', i));
            timer.start();
            transport.send(ping);
            if (!replies.tryAcquire(1, replyWaitMs))
                return false;
            samples->push_back(timer.nsecsElapsed() / 1000.0);
        }
        return true;
    }

    // As a user that answers on the callback thread: no hand-off to its own
    // thread between a reply and the next ping.
    bool fromCallback(int count, std::vector<double> *samples)
    {
        chainSamples = samples;
        chained = count;
        timer.start();
        NQTestPacket ping(padded('p', chained));
        transport.send(ping);
        return replies.tryAcquire(1, replyWaitMs);
    }

    Stream oneWay(int packets)
    {
        Stream stream;
        QElapsedTimer elapsed;
        elapsed.start();
        for (int i = 0; i < packets; ++i) {
            NQTestPacket packet(padded('s', i));
            transport.send(packet);
        }
        stream.complete = replies.tryAcquire(1, streamWaitMs) && last == QStringLiteral("done %1").arg(packets);
        stream.perSecond = packets / (elapsed.nsecsElapsed() / 1e9);
        return stream;
    }

private:
    void arrived(const QString &text)
    {
        if (chained == 0) {
            last = text;
            replies.release();
            return;
        }
        chainSamples->push_back(timer.nsecsElapsed() / 1000.0);
        if (--chained == 0) {
            replies.release();
            return;
        }
        NQTestPacket ping(padded('p', chained));
        timer.start();
        transport.send(ping);
    }

    CallbackTransport &transport;
    QSemaphore replies;
    QString last;
    // Owned by the callback thread while a chain runs.
    int chained = 0;
    std::vector<double> *chainSamples = nullptr;
    QElapsedTimer timer;
};

bool rawRoundTrip(QLocalSocket &socket, int count, std::vector<double> *samples)
{
    const QByteArray message(packetBytes, 'p');
    QElapsedTimer timer;
    for (int i = 0; i < count; ++i) {
        timer.start();
        socket.write(message);
        socket.flush();
        qint64 got = 0;
        while (got < packetBytes) {
            if (!socket.waitForReadyRead(replyWaitMs))
                return false;
            got += socket.readAll().size();
        }
        samples->push_back(timer.nsecsElapsed() / 1000.0);
    }
    return true;
}

Stream rawOneWay(QLocalSocket &socket, int packets)
{
    const QByteArray message(packetBytes, 's');
    Stream stream;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < packets; ++i) {
        socket.write(message);
        if (socket.bytesToWrite() > (1 << 20))
            socket.waitForBytesWritten(replyWaitMs);
    }
    socket.flush();
    while (socket.bytesAvailable() == 0 && socket.waitForReadyRead(streamWaitMs)) {
    }
    // A byte stream keeps its order: all arrived when the count was met.
    stream.complete = socket.read(1) == "k";
    stream.perSecond = packets / (timer.nsecsElapsed() / 1e9);
    return stream;
}

bool zmqRoundTrip(ZmqPair &zmq, int count, std::vector<double> *samples)
{
    QElapsedTimer timer;
    QByteArray reply;
    for (int i = 0; i < count; ++i) {
        NQTestPacket ping(padded('p', i));
        timer.start();
        zmq.send(ping.toByteArray());
        if (!zmq.receive(&reply, replyWaitMs) || textOf(reply) != ping.text)
            return false;
        samples->push_back(timer.nsecsElapsed() / 1000.0);
    }
    return true;
}

Stream zmqOneWay(ZmqPair &zmq, int packets)
{
    Stream stream;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < packets; ++i) {
        NQTestPacket packet(padded('s', i));
        zmq.send(packet.toByteArray());
    }
    QByteArray done;
    stream.complete = zmq.receive(&done, streamWaitMs) && textOf(done) == QStringLiteral("done %1").arg(packets);
    stream.perSecond = packets / (timer.nsecsElapsed() / 1e9);
    return stream;
}

// What is measured, by name: the round trip p50 of each block in
// microseconds, and one figure per stream round.
struct Results
{
    QMap<QString, std::vector<double>> roundTrips;
    QMap<QString, std::vector<double>> rates;
    QMap<QString, bool> complete;

    void addStream(const QString &system, const Stream &stream)
    {
        rates[system].push_back(stream.perSecond);
        complete[system] = complete.value(system, true) && stream.complete;
    }
    double p50(const QString &key) const { return median(roundTrips.value(key)); }
    // Taken block by block, between figures measured a moment apart.
    double ratio(const QString &key, const QString &reference = QStringLiteral("raw")) const
    {
        const std::vector<double> values = roundTrips.value(key);
        const std::vector<double> references = roundTrips.value(reference);
        std::vector<double> ratios;
        for (size_t i = 0; i < values.size() && i < references.size(); ++i)
            ratios.push_back(values[i] / references[i]);
        return median(ratios);
    }
    double rate(const QString &system) const { return median(rates.value(system)); }
};

QString perSecond(double rate)
{
    if (rate >= 1e6)
        return QString::number(rate / 1e6, 'f', 2) + QStringLiteral("M/s");
    return QString::number(rate / 1e3, 'f', 0) + QStringLiteral("k/s");
}

QString ratio(double value)
{
    return QString::number(value, 'f', 2) + QLatin1Char('x');
}

void printTable(const Results &results, int packets)
{
    const auto oneWay = [&results](const QString &system) {
        return perSecond(results.rate(system))
               + (results.complete.value(system) ? QString() : QStringLiteral(", LOST OR REORDERED"));
    };
    const auto row = [&](const char *what, const QString &roundTrip, const QString &system) {
        std::printf("| %s | %s | %s |\n", what, qPrintable(roundTrip), qPrintable(oneWay(system)));
    };
    const auto twoWays = [&](const char *what, const QString &system) {
        row(what, QStringLiteral("%1 from the callback, %2 to the user's thread")
                      .arg(ratio(results.ratio(system + QStringLiteral(" callback"))),
                           ratio(results.ratio(system + QStringLiteral(" user")))), system);
    };
    std::printf("| system, %d-byte packets | round trip p50 | one way, %d packets |\n|---|---|---|\n",
                packetBytes, packets);
    row("raw `QLocalSocket`", QStringLiteral("1.00x (%1 µs)").arg(results.p50(QStringLiteral("raw")), 0, 'f', 1),
        QStringLiteral("raw"));
    twoWays("floor: a node's threads and hand-offs, plain socket", QStringLiteral("floor"));
    twoWays("NQCore, per-packet log lines off", QStringLiteral("nq"));
    twoWays("NQCore, per-packet log lines on", QStringLiteral("nq logs"));
    row("ZeroMQ ipc, one I/O thread each side", ratio(results.ratio(QStringLiteral("zmq"))), QStringLiteral("zmq"));
}

bool printGoal(const QString &what, const QString &measured, bool met)
{
    std::printf("goal: %-66s %-22s %s\n", qPrintable(what), qPrintable(measured), met ? "met" : "NOT MET");
    return met;
}

bool printGoals(const Results &results)
{
    bool met = true;
    for (const QString &system : {QStringLiteral("nq"), QStringLiteral("nq logs")}) {
        const QString logs = system == QLatin1String("nq") ? QStringLiteral("log lines off")
                                                            : QStringLiteral("log lines on");
        const QString callback = system + QStringLiteral(" callback");
        const double toFloor = results.ratio(callback, QStringLiteral("floor callback"));
        const double toZmq = results.ratio(callback, QStringLiteral("zmq"));
        const double toCallback = results.ratio(system + QStringLiteral(" user"), callback);
        const double rate = results.rate(system);
        met &= printGoal(QStringLiteral("NQCore from the callback within 1.15x the floor's, %1").arg(logs),
                         ratio(toFloor), toFloor <= 1.15);
        met &= printGoal(QStringLiteral("NQCore from the callback below ZeroMQ's, %1").arg(logs),
                         ratio(toZmq), toZmq < 1.0);
        met &= printGoal(QStringLiteral("NQCore to the user's thread within 1.3x from the callback, %1").arg(logs),
                         ratio(toCallback), toCallback <= 1.3);
        met &= printGoal(QStringLiteral("NQCore one way at least 300k/s, none lost or reordered, %1").arg(logs),
                         perSecond(rate), rate >= 300000 && results.complete.value(system));
    }
    std::printf("%s\n", met ? "all goals met" : "goals NOT MET");
    return met;
}

class Driver
{
public:
    explicit Driver(int packets) : packets(packets) {}

    bool connect();
    bool measure(int rounds);
    const Results &results() const { return measured; }

private:
    bool setLogs(bool on);
    bool roundTrips();
    void streams();

    int packets;
    QProcess peer;
    QLocalSocket raw;
    QLocalSocket rawStream;
    FloorTransport floor;
    Probe floorProbe{floor};
    NodeTransport node;
    Probe nodeProbe{node};
    ZmqPair zmq;
    Results measured;
};

bool Driver::connect()
{
    const QString base = QStringLiteral("nq-bench-%1").arg(QCoreApplication::applicationPid());
    const Names names(base);
    peer.setStandardErrorFile(QProcess::nullDevice());
    peer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peer"), base, QString::number(packets)});
    if (!peer.waitForReadyRead(30000) || !peer.readLine().startsWith("ready"))
        return false;
    raw.connectToServer(names.raw);
    rawStream.connectToServer(names.raw);
    return raw.waitForConnected(5000) && rawStream.waitForConnected(5000) && floor.node.connectTo(names.floor)
           && zmq.connect(names.zmq) && node.start() && node.waitForPeer()
           && nodeProbe.waitForText(QStringLiteral("hello"));
}

bool Driver::setLogs(bool on)
{
    const QByteArray line = on ? "logs on\n" : "logs off\n";
    setNodeLogs(on);
    peer.write(line);
    while (!peer.canReadLine()) {
        if (!peer.waitForReadyRead(replyWaitMs))
            return false;
    }
    return peer.readLine() == line;
}

// One block of each, in turn.
bool Driver::roundTrips()
{
    QMap<QString, std::vector<double>> samples;
    const bool complete = rawRoundTrip(raw, blockRoundTrips, &samples[QStringLiteral("raw")])
           && floorProbe.fromCallback(blockRoundTrips, &samples[QStringLiteral("floor callback")])
           && floorProbe.fromUser(blockRoundTrips, &samples[QStringLiteral("floor user")])
           && setLogs(false)
           && nodeProbe.fromCallback(blockRoundTrips, &samples[QStringLiteral("nq callback")])
           && nodeProbe.fromUser(blockRoundTrips, &samples[QStringLiteral("nq user")])
           && setLogs(true)
           && nodeProbe.fromCallback(blockRoundTrips, &samples[QStringLiteral("nq logs callback")])
           && nodeProbe.fromUser(blockRoundTrips, &samples[QStringLiteral("nq logs user")])
           && zmqRoundTrip(zmq, blockRoundTrips, &samples[QStringLiteral("zmq")]);
    for (auto it = samples.cbegin(); it != samples.cend(); ++it)
        measured.roundTrips[it.key()].push_back(median(it.value()));
    return complete;
}

void Driver::streams()
{
    measured.addStream(QStringLiteral("raw"), rawOneWay(rawStream, packets));
    measured.addStream(QStringLiteral("floor"), floorProbe.oneWay(packets));
    setLogs(false);
    measured.addStream(QStringLiteral("nq"), nodeProbe.oneWay(packets));
    setLogs(true);
    measured.addStream(QStringLiteral("nq logs"), nodeProbe.oneWay(packets));
    measured.addStream(QStringLiteral("zmq"), zmqOneWay(zmq, packets));
}

bool Driver::measure(int rounds)
{
    // The first block warms every path up and is not counted.
    if (!roundTrips())
        return false;
    measured.roundTrips.clear();
    for (int round = 0; round < rounds; ++round) {
        for (int block = 0; block < blocksPerRound; ++block) {
            if (!roundTrips())
                return false;
        }
        streams();
    }
    return true;
}

int runDriver(int packets, int rounds)
{
    std::printf("messaging, two processes: %s\n", qPrintable(loadLine()));
    std::fflush(stdout);
    Driver driver(packets);
    if (!driver.connect()) {
        std::printf("the benchmark could not run: the two sides did not meet (is NQCenter on PATH?)\n");
        endRun(1);
    }
    if (!driver.measure(rounds)) {
        std::printf("the benchmark could not run: the peer stopped answering\n");
        endRun(1);
    }
    std::printf("%d blocks of %d round trips and %d one-way streams per system, taking turns; %s\n\n",
                rounds * blocksPerRound, blockRoundTrips, rounds, qPrintable(loadLine()));
    printTable(driver.results(), packets);
    std::printf("\n%s\n\n", qPrintable(startLine()));
    printGoals(driver.results());
    endRun(0);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--peer"))
        return runPeer(arguments.value(2), arguments.value(3).toInt());
    if (arguments.value(1) == QLatin1String("--starts"))
        return runStarts();
    const int packets = arguments.size() > 1 ? arguments.value(1).toInt() : 200000;
    const int rounds = arguments.size() > 2 ? arguments.value(2).toInt() : 3;
    return runDriver(packets, rounds);
}
