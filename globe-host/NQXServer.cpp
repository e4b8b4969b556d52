#include "NQXServer.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include "LinkMessages.h"
#include "XExeProcess.h"
#include "platform/Locate.h"

namespace {

// How long a started viewer has to report its window before it counts as
// failed and is started again.
constexpr int launchTimeoutMs = 30000;

// What an ended viewer still sends arrives within moments, while its next
// few successors start at the earliest; a viewer that never reached the
// host, as when messaging fails and a new one starts every 30 s, sends
// nothing at all and would otherwise be remembered for ever.
constexpr int endedViewersKept = 8;

} // namespace

NQXServer::NQXServer(QString linkName, QObject *parent)
    : NQXNode(linkName, parent)
    , clientLinkName(LinkMessages::clientLinkNameOf(linkName))
    , launchTimer(new QTimer(this))
    // A child of the server: deleting the server ends the viewer at once.
    , process(new XExeProcess(true, this))
{
    launchTimer->setSingleShot(true);
    connect(launchTimer, &QTimer::timeout, this, &NQXServer::onLaunchTimeout);
    connect(this, &NQXNode::nodeOffline, this, &NQXServer::onClientOffline);
    connect(this, &NQXNode::nodeOnline, this, &NQXServer::onClientOnline);
    connect(this, &NQXNode::dataRecvied, this, &NQXServer::onClientData);
}

NQXServer::~NQXServer() = default;

void NQXServer::launchClient()
{
    launchTimer->stop();
    endViewer();
    const QString program = platform::programPath(QStringLiteral("Geoscope"));
    const QStringList args{
        program,
        QStringLiteral("-Geoframe"),
        QString::fromLatin1(
            LinkMessages::launchToken(QCoreApplication::applicationPid(), linkName)),
    };
    if (!process->start(args))
        qWarning() << "start client process failed:" << program;
    else
        endedViewers.removeAll(viewerNodeName());
    launchTimer->start(launchTimeoutMs);
}

void NQXServer::endViewer()
{
    if (process->isIdle())
        return;
    const QString viewerNode = viewerNodeName();
    endedViewers.append(viewerNode);
    if (endedViewers.size() > endedViewersKept)
        endedViewers.removeFirst();
    if (!linkNameOf(viewerNode).isEmpty())
        removeLink(viewerNode);
    process->stop();
}

// A messaging node is named by the id of the process it runs in, and the
// runner starts the viewer itself, not a program that starts it.
QString NQXServer::viewerNodeName() const
{
    return QString::number(process->processHandle());
}

void NQXServer::sendDataToClient(QJsonObject jsonData)
{
    sendData(clientLinkName, jsonData);
}

void NQXServer::gotoPosition(double dVerticalAngle, double dEOOpticalZoom,
                             double dTargetLongitude, double dTargetLatitude, double dLongitude,
                             double dLatitude, double dAltitude, double dYaw, double dYawAbs,
                             double dPitch, double dFov, double dUAVGPSDirection, double dUAVYaw,
                             double dUAVPitch, double dUAVRoll)
{
    sendDataToClient(LinkMessages::position(dVerticalAngle, dEOOpticalZoom, dTargetLongitude,
                                            dTargetLatitude, dLongitude, dLatitude, dAltitude,
                                            dYaw, dYawAbs, dPitch, dFov, dUAVGPSDirection,
                                            dUAVYaw, dUAVPitch, dUAVRoll));
}

void NQXServer::onClientData(QString strLinkName, QJsonObject jsonData)
{
    if (strLinkName != clientLinkName)
        return;
    const QString type = jsonData.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("windowHandle"))
        onWindowHandleMessage(jsonData);
    else if (type == QLatin1String("position"))
        onPositionMessage(jsonData);
    else if (type == QLatin1String("forceLocationChanged"))
        emit forceLocationChanged();
}

void NQXServer::onClientOnline(QString)
{
}

void NQXServer::onClientOffline(QString strLinkName)
{
    if (strLinkName != clientLinkName)
        return;
    emit clientHided();
    launchClient();
}

void NQXServer::handleNodeOnline(QString nodeName, INQData *data)
{
    if (!endedViewers.contains(nodeName)) {
        NQXNode::handleNodeOnline(nodeName, data);
        return;
    }
    if (data != nullptr)
        data->release();
}

void NQXServer::handleNodeOffline(QString nodeName)
{
    if (!endedViewers.removeOne(nodeName))
        NQXNode::handleNodeOffline(nodeName);
}

void NQXServer::onWindowHandleMessage(const QJsonObject &jsonData)
{
    const QString text = jsonData.value(QStringLiteral("windowHandle")).toString();
    bool ok = false;
    const qlonglong handle = text.toLongLong(&ok, 10);
    // Handle 0 names no window. The launch timer keeps running, so a viewer
    // that cannot tell its window is started again.
    if (!ok || handle == 0) {
        qWarning() << "invalid window handle:" << text;
        return;
    }
    launchTimer->stop();
    emit winHandleReceived(static_cast<WId>(handle));
}

void NQXServer::onPositionMessage(const QJsonObject &jsonData)
{
    emit positionReceived(jsonData.value(QStringLiteral("continueSend")).toBool(false),
                          jsonData.value(QStringLiteral("dLongitude")).toDouble(0),
                          jsonData.value(QStringLiteral("dLatitude")).toDouble(0),
                          jsonData.value(QStringLiteral("dAltitude")).toDouble(0));
    emit stopPositionReceived();
}

void NQXServer::onLaunchTimeout()
{
    qWarning() << "client did not report its window within" << launchTimeoutMs
               << "ms, launching it again";
    launchClient();
}
