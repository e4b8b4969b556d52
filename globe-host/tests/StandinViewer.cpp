// A viewer for the host's tests: it takes the launch token, joins the link
// under the client link name, hands over a window of one solid colour and
// follows "show" as the real viewer does. Everything it gets and does goes
// as one JSON line per event to the file the tests read (StandinJournal.h).
// With GEODOCK_STANDIN_SILENT set it never hands over its window; with
// GEODOCK_STANDIN_STAY set it outlives the host's link.
// It answers a host "position" with a viewer "position" carrying the same
// values as numbers, and ends on the test-only message "quit".

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWidget>

#include "NQXNode.h"
#include "PacketRegistry.h"
#include "StandinJournal.h"
#include "platform/ExitProcess.h"

namespace {

void record(const QString &event, const QJsonObject &message = {})
{
    QFile journal(StandinJournal::path());
    if (!journal.open(QIODevice::Append))
        return;
    const QJsonObject line{{"pid", QCoreApplication::applicationPid()},
                           {"event", event},
                           {"message", message}};
    journal.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

QJsonObject positionAnswer(const QJsonObject &request)
{
    QJsonObject answer{{"type", "position"}, {"continueSend", true}};
    for (const QString &key : StandinJournal::positionKeys())
        answer.insert(key, request.value(key).toString().toDouble());
    return answer;
}

void place(QWidget &window, const QJsonObject &show)
{
    const QStringList parts = show.value("position").toString().split('|');
    if (parts.size() < 4)
        return;
    window.setWindowTitle(show.value("title").toString());
    window.setGeometry(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
    window.show();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3 || args.at(1) != QLatin1String("-Geoframe"))
        return 2;
    const QJsonObject token =
        QJsonDocument::fromJson(QByteArray::fromBase64(args.at(2).toUtf8())).object();
    const QString clientLink = token.value("ClientLinkName").toString();
    const QString serverLink = token.value("ServerLinkName").toString();
    if (clientLink.isEmpty() || serverLink.isEmpty())
        return 3;
    record("started", token);

    registerPacketCreators();
    QWidget window(nullptr, Qt::FramelessWindowHint);
    QPalette palette;
    palette.setColor(QPalette::Window, StandinJournal::windowColour());
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.setGeometry(-2, -2, 1, 1);
    window.show();

    NQXNode node(clientLink);
    QObject::connect(&node, &NQXNode::nodeOnline, [&](const QString &link) {
        if (link != serverLink || qEnvironmentVariableIsSet("GEODOCK_STANDIN_SILENT"))
            return;
        const QJsonObject handle{{"type", "windowHandle"},
                                 {"windowHandle", QString::number(window.winId())}};
        node.sendData(serverLink, handle);
        record("sent", handle);
    });
    QObject::connect(&node, &NQXNode::nodeOffline, [&](const QString &link) {
        if (link == serverLink && !qEnvironmentVariableIsSet("GEODOCK_STANDIN_STAY"))
            platform::exitProcessNow(-1);
    });
    QObject::connect(&node, &NQXNode::dataRecvied, [&](const QString &link, const QJsonObject &message) {
        if (link != serverLink)
            return;
        record("received", message);
        const QString type = message.value("type").toString();
        if (type == QLatin1String("show"))
            place(window, message);
        else if (type == QLatin1String("position"))
            node.sendData(serverLink, positionAnswer(message));
        else if (type == QLatin1String("quit"))
            app.quit();
    });
    node.upline();
    const int result = app.exec();
    unregisterPacketCreators();
    return result;
}
