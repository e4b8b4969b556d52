// A link node in a process of its own, driven by the exchange tests through
// its standard streams.
//
//   link_peer <link name> [--silent] [--unregister] [--legacy <library>]
//
// --silent never announces the node; --unregister removes the creators again
// after registering them; --legacy loads the given library after that (and
// registers nothing itself when it is given without --unregister).
//
// Commands, one per line on standard input:
//   send <link name> <JSON object>      through the link node
//   set <link name> <any text>          a set call with that value, as is
//   get <link name> <any text>          a get call with that value
//   flood <link name> <count> <chars>   numbered calls, as fast as it can
//   busy | free | count                 hold this node's thread until free
//   quit
// What the node reports goes to standard output, one line each, fields
// separated by tabs: "ready", "online\t<link>", "data\t<link>\t<compact JSON>",
// "offline\t<link>"; numbered calls are only counted: "flooded ACCEPTED
// REFUSED", "count N", and "out-of-order".

#include <QCoreApplication>
#include <QJsonDocument>
#include <QLibrary>
#include <QStringList>

#include <QThread>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "NQXNode.h"
#include "NQ_GET_RPCPacket.h"
#include "NQ_SET_RPCPacket.h"
#include "PacketRegistry.h"

namespace {

void report(const QStringList &fields)
{
    std::cout << fields.join('\t').toStdString() << std::endl;
}

class PeerNode : public NQXNode
{
public:
    using NQXNode::NQXNode;

    // Calls as a peer with other ideas about the link might make them.
    template <typename Call>
    void sendCall(const QString &link, const QString &value)
    {
        if (node == nullptr)
            return;
        Call call(node->getNodeName(), nodeNameOf(link));
        call.setValue(value);
        node->send(call.to(), &call);
    }

    void flood(const QString &link, int count, int chars)
    {
        int accepted = 0;
        for (int i = 0; node != nullptr && i < count; ++i) {
            NQ_SET_RPCPacket call(node->getNodeName(), nodeNameOf(link));
            const QJsonObject json{{"n", i}, {"pad", QString(chars, '.')}};
            call.setValue(QString::fromUtf8(QJsonDocument(json).toJson()));
            accepted += node->send(call.to(), &call);
        }
        report({QStringLiteral("flooded %1 %2").arg(accepted).arg(count - accepted)});
    }
};

// Set by the input thread, which goes on reading while this node's thread
// is held.
std::atomic<bool> busy{false};
int received = 0;
int lastNumber = -1;

void runCommand(PeerNode &peer, const QString &line)
{
    const QString verb = line.section(' ', 0, 0);
    const QString link = line.section(' ', 1, 1);
    const QString rest = line.section(' ', 2);
    if (verb == "send")
        peer.sendData(link, QJsonDocument::fromJson(rest.toUtf8()).object());
    else if (verb == "set")
        peer.sendCall<NQ_SET_RPCPacket>(link, rest);
    else if (verb == "get")
        peer.sendCall<NQ_GET_RPCPacket>(link, rest);
    else if (verb == "flood")
        peer.flood(link, rest.section(' ', 0, 0).toInt(), rest.section(' ', 1, 1).toInt());
    else if (verb == "busy")
        while (busy)
            QThread::msleep(10);
    else if (verb == "count")
        report({QStringLiteral("count %1").arg(received)});
    else if (verb == "quit")
        QCoreApplication::quit();
}

void prepareCreators(const QStringList &args)
{
    const int legacyAt = args.indexOf("--legacy");
    const bool unregister = args.contains("--unregister");
    if (legacyAt < 0 || unregister)
        registerPacketCreators();
    if (unregister)
        unregisterPacketCreators();
    if (legacyAt >= 0) {
        QLibrary legacy(args.value(legacyAt + 1));
        if (!legacy.load())
            qWarning() << "cannot load" << legacy.fileName() << legacy.errorString();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    prepareCreators(args);

    auto peer = std::make_unique<PeerNode>(args.value(1));
    QObject::connect(peer.get(), &NQXNode::nodeOnline, [](QString link) { report({"online", link}); });
    QObject::connect(peer.get(), &NQXNode::nodeOffline, [](QString link) { report({"offline", link}); });
    QObject::connect(peer.get(), &NQXNode::dataRecvied, [](QString link, QJsonObject json) {
        if (json.contains("n")) {
            // Refused calls leave gaps in the numbers, never a step back.
            const int number = json.value("n").toInt();
            if (number <= std::exchange(lastNumber, number))
                report({"out-of-order"});
            return void(++received);
        }
        report({"data", link, QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact))});
    });
    if (!args.contains("--silent"))
        peer->upline();
    report({"ready"});

    PeerNode *target = peer.get();
    std::thread input([target] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString command = QString::fromStdString(line);
            if (command == "busy" || command == "free")
                busy = command == "busy";
            if (command == "free")
                continue;
            QMetaObject::invokeMethod(target, [target, command] { runCommand(*target, command); });
        }
        QMetaObject::invokeMethod(target, [] { QCoreApplication::quit(); });
    });
    input.detach();
    app.exec();

    // The link node is stopped as its owners stop it; the peer then ends the
    // way a station program does, through static teardown, which no thread
    // of the messaging node may outlive. The input thread only waits for a
    // line that never comes.
    peer.reset();
    std::cout.flush();
    return 0;
}
