#include "NQXClient.h"

#include <QDebug>
#include <QJsonDocument>
#include <QStringList>

#include <array>

#include "PositionKeys.h"
#include "platform/ExitProcess.h"

NQXClient::NQXClient(WId windowHandle, QString linkName, QString serverLinkName, QObject *parent)
    : NQXNode(linkName, parent)
    , windowHandle(windowHandle)
    , serverLinkName(serverLinkName)
{
    connect(this, &NQXNode::nodeOffline, this, &NQXClient::onServerOffline);
    connect(this, &NQXNode::nodeOnline, this, &NQXClient::onServerOnline);
    connect(this, &NQXNode::dataRecvied, this, &NQXClient::onServerMessage);
}

void NQXClient::sendWindowHandle(WId windowHandle)
{
    QJsonObject message;
    message.insert("type", "windowHandle");
    message.insert("windowHandle", QString::number(qint64(windowHandle), 10));
    sendData(serverLinkName, message);
}

void NQXClient::sendPosition(bool continueSend, double dVerticalAngle, double dEOOpticalZoom,
                             double dTargetLongitude, double dTargetLatitude, double dLongitude,
                             double dLatitude, double dAltitude, double dYaw, double dYawAbs,
                             double dPitch, double dFov, double dUAVGPSDirection, double dUAVYaw,
                             double dUAVPitch, double dUAVRoll)
{
    const std::array<double, 15> values = {
        dVerticalAngle, dEOOpticalZoom, dTargetLongitude, dTargetLatitude, dLongitude,
        dLatitude,      dAltitude,      dYaw,             dYawAbs,         dPitch,
        dFov,           dUAVGPSDirection, dUAVYaw,        dUAVPitch,       dUAVRoll};
    QJsonObject message;
    message.insert("type", "position");
    message.insert("continueSend", continueSend);
    for (size_t i = 0; i < positionKeys.size(); ++i)
        message.insert(positionKeys[i], values[i]);
    sendData(serverLinkName, message);
}

void NQXClient::sendForceLocationChanged()
{
    QJsonObject message;
    message.insert("type", "forceLocationChanged");
    sendData(serverLinkName, message);
}

void NQXClient::onServerOffline(QString strLinkName)
{
    // The viewer lives inside the host's page: without the host it has no
    // reason to run, and nothing of it needs saving.
    if (strLinkName == serverLinkName)
        platform::exitProcessNow(-1);
}

void NQXClient::onServerOnline(QString strLinkName)
{
    if (strLinkName == serverLinkName)
        sendWindowHandle(windowHandle);
}

void NQXClient::onServerMessage(QString strLinkName, QJsonObject jsonData)
{
    if (strLinkName == serverLinkName)
        handleServerMessage(jsonData);
}

void NQXClient::handleServerMessage(QJsonObject json)
{
    const QString type = json.value("type").toString();
    if (type == "show")
        handleShow(json);
    else if (type == "location")
        handleLocation(json);
    else if (type == "position")
        handlePosition(json);
}

void NQXClient::handleShow(QJsonObject json)
{
    qDebug() << QJsonDocument(json).toJson().constData();
    const QString title = json.value("title").toString();
    const QStringList parts = json.value("position").toString().split("|", Qt::KeepEmptyParts);
    if (parts.size() < 4) {
        qWarning() << "show message without four position values:" << json.value("position").toString();
        return;
    }
    emit windowShow(title, parts[0].toInt(nullptr, 10), parts[1].toInt(nullptr, 10),
                    parts[2].toInt(nullptr, 10), parts[3].toInt(nullptr, 10));
}

void NQXClient::handleLocation(QJsonObject)
{
}

void NQXClient::handlePosition(QJsonObject json)
{
    std::array<double, 15> v{};
    for (size_t i = 0; i < positionKeys.size(); ++i)
        v[i] = json.value(positionKeys[i]).toString().toDouble();
    emit positionChanged(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10],
                         v[11], v[12], v[13], v[14]);
    emit stopPositionChanged(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10],
                             v[11], v[12], v[13], v[14]);
}
