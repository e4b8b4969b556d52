// Messaging between two processes, every system in the same run and with
// the same 200-byte packets:
//   raw QLocalSocket, the reference (1.00x);
//   the floor: a node's thread layout over a plain socket (FloorNode);
//   NQCore, with its per-packet log lines switched on and off
//     (QT_LOGGING_RULES, category nq.socket);
//   ZeroMQ over ipc, one I/O thread each side.
// Round trip p50, from the callback and to the user's thread where a system
// has both, and packets per second one way, checked for loss and order.
// The rounds are interleaved; each figure is the median of its rounds, and
// each ratio the median of the ratios to raw measured within a round.
//
//   nq_bench [packets] [rounds]
//
// It runs itself as --driver (one process of a round, which measures) and
// --peer (the other, which echoes and counts).

#include "FloorNode.h"
#include "INQCore.h"
#include "NQTestPacket.h"
#include "ZmqPair.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMap>
#include <QProcess>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int packetBytes = 200;
constexpr int roundTrips = 4000;
constexpr int warmUp = 200;
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
    void send(NQTestPacket &packet) override { node->send(peer, &packet); }
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
// answers one byte when all have arrived. The process ends with the first.
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
        if (echo)
            connect(socket, &QLocalSocket::disconnected, [] { std::_Exit(0); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, echo] {
            const QByteArray bytes = socket->readAll();
            if (echo)
                socket->write(bytes);
            else if ((counted += bytes.size()) == streamBytes)
                socket->write("k");
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

int runPeer(const QString &base, int packets, const QStringList &systems)
{
    const Names names(base);
    RawEcho raw(names.raw, qint64(packets) * packetBytes);

    FloorTransport floor;
    Echo floorEcho(packets, [&floor](NQTestPacket &packet) { floor.send(packet); });
    floor.onText = [&floorEcho](const QString &text) { floorEcho.onText(text); };
    if (systems.contains(QLatin1String("floor")) && !floor.node.listen(names.floor))
        return 1;

    ZmqPair zmq;
    Echo zmqEcho(packets, [&zmq](NQTestPacket &packet) { zmq.send(packet.toByteArray()); });
    if (systems.contains(QLatin1String("zmq"))) {
        if (!zmq.bind(names.zmq))
            return 1;
        QThread *loop = QThread::create([&zmq, &zmqEcho] {
            QByteArray bytes;
            while (zmq.receive(&bytes, -1))
                zmqEcho.onText(textOf(bytes));
        });
        loop->start();
    }
    std::printf("ready\n");
    std::fflush(stdout);

    if (systems.contains(QLatin1String("nq"))) {
        auto *node = new NodeTransport;
        auto *nodeEcho = new Echo(packets, [node](NQTestPacket &packet) { node->send(packet); });
        node->onText = [nodeEcho](const QString &text) { nodeEcho->onText(text); };
        if (!node->start())
            return 1;
    }
    return QCoreApplication::exec();
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

    double fromUser()
    {
        std::vector<double> samples;
        QElapsedTimer timer;
        for (int i = 0; i < warmUp + roundTrips; ++i) {
            NQTestPacket ping(padded('p', i));
            timer.start();
            transport.send(ping);
            if (!replies.tryAcquire(1, replyWaitMs))
                return 0.0;
            if (i >= warmUp)
                samples.push_back(timer.nsecsElapsed() / 1000.0);
        }
        return median(samples);
    }

    // As a user that answers on the callback thread: no hand-off to its own
    // thread between a reply and the next ping.
    double fromCallback()
    {
        samples.clear();
        chained = warmUp + roundTrips;
        timer.start();
        NQTestPacket ping(padded('p', chained));
        transport.send(ping);
        if (!replies.tryAcquire(1, 60000))
            return 0.0;
        samples.erase(samples.begin(), samples.begin() + warmUp);
        return median(samples);
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
        samples.push_back(timer.nsecsElapsed() / 1000.0);
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
    std::vector<double> samples;
    QElapsedTimer timer;
};

double rawRoundTrip(QLocalSocket &socket)
{
    std::vector<double> samples;
    const QByteArray message(packetBytes, 'p');
    QElapsedTimer timer;
    for (int i = 0; i < warmUp + roundTrips; ++i) {
        timer.start();
        socket.write(message);
        socket.flush();
        qint64 got = 0;
        while (got < packetBytes && socket.waitForReadyRead(replyWaitMs))
            got += socket.readAll().size();
        if (i >= warmUp)
            samples.push_back(timer.nsecsElapsed() / 1000.0);
    }
    return median(samples);
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
    // A byte stream keeps its order; all arrived when the count was met.
    stream.complete = socket.bytesAvailable() > 0;
    stream.perSecond = packets / (timer.nsecsElapsed() / 1e9);
    return stream;
}

double zmqRoundTrip(ZmqPair &zmq)
{
    std::vector<double> samples;
    QElapsedTimer timer;
    QByteArray reply;
    for (int i = 0; i < warmUp + roundTrips; ++i) {
        NQTestPacket ping(padded('p', i));
        timer.start();
        zmq.send(ping.toByteArray());
        if (!zmq.receive(&reply, replyWaitMs) || textOf(reply) != ping.text)
            return 0.0;
        if (i >= warmUp)
            samples.push_back(timer.nsecsElapsed() / 1000.0);
    }
    return median(samples);
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

void emitFigure(const QString &key, double value)
{
    std::printf("%s %.6g\n", qPrintable(key), value);
    std::fflush(stdout);
}

void emitStream(const QString &system, const Stream &stream)
{
    emitFigure(system + QStringLiteral(".rate"), stream.perSecond);
    emitFigure(system + QStringLiteral(".complete"), stream.complete ? 1.0 : 0.0);
}

// One round: every named system measured against raw, in this process and
// a peer process. Prints "system.figure value" lines.
int runDriver(int packets, const QStringList &systems, const QString &nodeKey)
{
    const QString base = QStringLiteral("nq-bench-%1").arg(QCoreApplication::applicationPid());
    const Names names(base);
    QProcess peerProcess;
    peerProcess.setStandardErrorFile(QProcess::nullDevice());
    peerProcess.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--peer"), base, QString::number(packets), systems.join(QLatin1Char(','))});
    if (!peerProcess.waitForReadyRead(30000) || !peerProcess.readLine().startsWith("ready"))
        return 1;

    QLocalSocket raw;
    QLocalSocket rawStream;
    raw.connectToServer(names.raw);
    rawStream.connectToServer(names.raw);
    if (!raw.waitForConnected(5000) || !rawStream.waitForConnected(5000))
        return 1;
    FloorTransport floor;
    Probe floorProbe(floor);
    if (systems.contains(QLatin1String("floor")) && !floor.node.connectTo(names.floor))
        return 1;
    ZmqPair zmq;
    if (systems.contains(QLatin1String("zmq")) && !zmq.connect(names.zmq))
        return 1;
    NodeTransport *node = nullptr;
    std::unique_ptr<Probe> nodeProbe;
    if (systems.contains(QLatin1String("nq"))) {
        node = new NodeTransport;
        nodeProbe.reset(new Probe(*node));
        if (!node->start() || !node->waitForPeer() || !nodeProbe->waitForText(QStringLiteral("hello")))
            return 1;
    }

    emitFigure(QStringLiteral("raw.rt"), rawRoundTrip(raw));
    if (systems.contains(QLatin1String("floor"))) {
        emitFigure(QStringLiteral("floor.rt-callback"), floorProbe.fromCallback());
        emitFigure(QStringLiteral("floor.rt-user"), floorProbe.fromUser());
    }
    if (node) {
        emitFigure(nodeKey + QStringLiteral(".rt-callback"), nodeProbe->fromCallback());
        emitFigure(nodeKey + QStringLiteral(".rt-user"), nodeProbe->fromUser());
    }
    if (systems.contains(QLatin1String("zmq")))
        emitFigure(QStringLiteral("zmq.rt"), zmqRoundTrip(zmq));

    emitStream(QStringLiteral("raw"), rawOneWay(rawStream, packets));
    if (systems.contains(QLatin1String("floor")))
        emitStream(QStringLiteral("floor"), floorProbe.oneWay(packets));
    if (node)
        emitStream(nodeKey, nodeProbe->oneWay(packets));
    if (systems.contains(QLatin1String("zmq")))
        emitStream(QStringLiteral("zmq"), zmqOneWay(zmq, packets));

    if (node)
        node->stop();
    raw.disconnectFromServer();
    peerProcess.waitForFinished(10000);
    std::_Exit(0);
}

// --- the coordinator ------------------------------------------------------

using Figures = QMap<QString, std::vector<double>>;

bool runRound(int packets, bool nodeLogs, Figures *figures)
{
    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       nodeLogs ? QStringLiteral("nq.socket.debug=true") : QStringLiteral("nq.socket.debug=false"));
    driver.setProcessEnvironment(environment);
    driver.setStandardErrorFile(QProcess::nullDevice());
    // The round with the log lines measures only what they can change.
    const QString systems = nodeLogs ? QStringLiteral("nq") : QStringLiteral("floor,nq,zmq");
    driver.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--driver"), QString::number(packets), systems,
                  nodeLogs ? QStringLiteral("nq-logs") : QStringLiteral("nq")});
    if (!driver.waitForFinished(600000) || driver.exitCode() != 0)
        return false;
    QMap<QString, double> round;
    for (const QByteArray &line : driver.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2)
            round.insert(QString::fromLatin1(fields[0]), fields[1].toDouble());
    }
    const double raw = round.value(QStringLiteral("raw.rt"));
    const double rawRate = round.value(QStringLiteral("raw.rate"));
    for (auto it = round.constBegin(); it != round.constEnd(); ++it) {
        (*figures)[it.key()].push_back(it.value());
        // Ratios within the round, where the load was the same for both.
        if (it.key().contains(QLatin1String(".rt")) && raw > 0)
            (*figures)[it.key() + QStringLiteral("/raw")].push_back(it.value() / raw);
    }
    (*figures)[QStringLiteral("raw.rate/raw")].push_back(rawRate);
    return true;
}

QString rate(double perSecond)
{
    if (perSecond >= 1e6)
        return QString::number(perSecond / 1e6, 'f', 2) + QStringLiteral("M/s");
    return QString::number(perSecond / 1e3, 'f', 0) + QStringLiteral("k/s");
}

class Report
{
public:
    Report(const Figures &figures) : figures(figures) {}

    double value(const QString &key) const { return median(figures.value(key)); }
    bool complete(const QString &system) const
    {
        const std::vector<double> runs = figures.value(system + QStringLiteral(".complete"));
        return !runs.empty() && std::all_of(runs.begin(), runs.end(), [](double ok) { return ok > 0; });
    }
    QString ratio(const QString &key) const { return QString::number(value(key + QStringLiteral("/raw")), 'f', 2) + 'x'; }
    QString oneWay(const QString &system) const
    {
        return rate(value(system + QStringLiteral(".rate")))
               + (complete(system) ? QString() : QStringLiteral(", LOST OR REORDERED"));
    }
    void row(const char *what, const QString &roundTrip, const QString &system) const
    {
        std::printf("| %s | %s | %s |\n", what, qPrintable(roundTrip), qPrintable(oneWay(system)));
    }
    void twoWay(const char *what, const QString &system) const
    {
        row(what, QStringLiteral("%1 from the callback, %2 to the user's thread")
                      .arg(ratio(system + QStringLiteral(".rt-callback")), ratio(system + QStringLiteral(".rt-user"))),
            system);
    }
    bool goal(const QString &what, double measured, double limit, bool met) const
    {
        std::printf("goal: %-62s %6.2f (%s %.2f)  %s\n", qPrintable(what), measured, met ? "<=" : "over", limit,
                    met ? "met" : "NOT MET");
        return met;
    }

private:
    Figures figures;
};

int runCoordinator(int packets, int rounds)
{
    std::printf("%s\n", qPrintable(loadLine()));
    std::fflush(stdout);
    Figures figures;
    for (int round = 0; round < rounds; ++round) {
        for (bool nodeLogs : {false, true}) {
            if (!runRound(packets, nodeLogs, &figures)) {
                std::printf("round %d failed\n", round + 1);
                return 1;
            }
        }
    }
    const Report report(figures);
    std::printf("%d rounds; raw round trip p50 %.1f us; %s\n\n", rounds, report.value(QStringLiteral("raw.rt")),
                qPrintable(loadLine()));
    std::printf("| system, %d-byte packets | round trip p50 | one way, %d packets |\n|---|---|---|\n",
                packetBytes, packets);
    report.row("raw `QLocalSocket`", QStringLiteral("1.00x"), QStringLiteral("raw"));
    report.twoWay("floor: a node's threads and hand-offs, plain socket", QStringLiteral("floor"));
    report.twoWay("NQCore, per-packet log lines off", QStringLiteral("nq"));
    report.twoWay("NQCore, per-packet log lines on", QStringLiteral("nq-logs"));
    report.row("ZeroMQ ipc, one I/O thread each side", report.ratio(QStringLiteral("zmq.rt")), QStringLiteral("zmq"));
    std::printf("\n");

    const double floorCallback = report.value(QStringLiteral("floor.rt-callback/raw"));
    const double zmq = report.value(QStringLiteral("zmq.rt/raw"));
    bool met = true;
    for (const QString &system : {QStringLiteral("nq"), QStringLiteral("nq-logs")}) {
        const QString label = system == QLatin1String("nq") ? QStringLiteral("log lines off")
                                                              : QStringLiteral("log lines on");
        const double callback = report.value(system + QStringLiteral(".rt-callback/raw"));
        const double user = report.value(system + QStringLiteral(".rt-user/raw"));
        const double perSecond = report.value(system + QStringLiteral(".rate"));
        met &= report.goal(QStringLiteral("NQCore from the callback / floor's, %1").arg(label),
                           callback / floorCallback, 1.15, callback / floorCallback <= 1.15);
        met &= report.goal(QStringLiteral("NQCore from the callback / ZeroMQ's, %1").arg(label),
                           callback / zmq, 1.0, callback < zmq);
        met &= report.goal(QStringLiteral("NQCore to the user's thread / from the callback, %1").arg(label),
                           user / callback, 1.3, user / callback <= 1.3);
        const bool streamMet = perSecond >= 300000 && report.complete(system);
        std::printf("goal: %-62s %6s (at least 300k/s, none lost)  %s\n",
                    qPrintable(QStringLiteral("NQCore one way, %1").arg(label)), qPrintable(rate(perSecond)),
                    streamMet ? "met" : "NOT MET");
        met &= streamMet;
    }
    std::printf("%s\n", met ? "all goals met" : "goals NOT MET");
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--peer"))
        return runPeer(arguments.value(2), arguments.value(3).toInt(), arguments.value(4).split(QLatin1Char(',')));
    if (arguments.value(1) == QLatin1String("--driver"))
        return runDriver(arguments.value(2).toInt(), arguments.value(3).split(QLatin1Char(',')), arguments.value(4));
    const int packets = arguments.size() > 1 ? arguments.value(1).toInt() : 200000;
    const int rounds = arguments.size() > 2 ? arguments.value(2).toInt() : 3;
    return runCoordinator(packets, rounds);
}
