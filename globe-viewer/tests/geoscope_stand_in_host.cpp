// Plays the globe host for the link client's tests: builds a launch token
// for a fresh link name, announces itself, reports on stdout what the viewer
// sends, and sends what stdin asks for. It ends when stdin closes.
//
// stdout: "token <launch token>", "online <link name>",
//         "received <link name> <compact JSON>"
// stdin:  "send <compact JSON>"
// With an argument, that is the viewer link name it talks to instead of its
// own name followed by "_Client" (a second host that is not the viewer's).

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>
#include <QUuid>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "NQXNode.h"
#include "PacketRegistry.h"

namespace {

void say(const QString &line)
{
    QTextStream(stdout) << line << '\n';
    fflush(stdout);
}

QString launchToken(const QString &serverLink, const QString &clientLink)
{
    QJsonObject token;
    token.insert("ServerProcessId", QString::number(QCoreApplication::applicationPid()));
    token.insert("ServerLinkName", serverLink);
    token.insert("ClientLinkName", clientLink);
    return QString::fromLatin1(QJsonDocument(token).toJson().toBase64());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    registerPacketCreators();

    const QString serverLink = QUuid::createUuid().toString();
    const QString clientLink = argc > 1 ? QString(argv[1]) : serverLink + "_Client";
    auto *host = new NQXNode(serverLink);
    QObject::connect(host, &NQXNode::nodeOnline, [](QString link) { say("online " + link); });
    QObject::connect(host, &NQXNode::dataRecvied, [](QString link, QJsonObject json) {
        say("received " + link + " " + QJsonDocument(json).toJson(QJsonDocument::Compact));
    });

    // stdin is read on a thread of its own and each line handed to the GUI
    // thread, so that the node's notices keep flowing while it waits.
    std::thread([&app, host, clientLink] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString command = QString::fromStdString(line);
            QMetaObject::invokeMethod(&app, [host, clientLink, command] {
                if (command.startsWith("send "))
                    host->sendData(clientLink, QJsonDocument::fromJson(command.mid(5).toUtf8()).object());
            }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    }).detach();

    say("token " + launchToken(serverLink, clientLink));
    host->upline();
    const int result = app.exec();
    delete host;
    unregisterPacketCreators();
    return result;
}
