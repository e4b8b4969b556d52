#include "LinkMessages.h"

#include <QJsonDocument>

namespace LinkMessages {

namespace {

QString fixed7(double value)
{
    return QString::number(value, 'f', 7);
}

QString general6(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

QByteArray launchToken(qint64 serverProcessId, const QString &serverLinkName)
{
    const QJsonObject token{
        {QStringLiteral("ServerProcessId"), QString::number(serverProcessId)},
        {QStringLiteral("ServerLinkName"), serverLinkName},
        {QStringLiteral("ClientLinkName"), clientLinkNameOf(serverLinkName)},
    };
    return QJsonDocument(token).toJson(QJsonDocument::Indented).toBase64();
}

QString clientLinkNameOf(const QString &serverLinkName)
{
    return serverLinkName + QStringLiteral("_Client");
}

QJsonObject position(double dVerticalAngle, double dEOOpticalZoom, double dTargetLongitude,
                     double dTargetLatitude, double dLongitude, double dLatitude,
                     double dAltitude, double dYaw, double dYawAbs, double dPitch, double dFov,
                     double dUAVGPSDirection, double dUAVYaw, double dUAVPitch, double dUAVRoll)
{
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("position")},
        {QStringLiteral("dVerticalAngle"), general6(dVerticalAngle)},
        {QStringLiteral("dEOOpticalZoom"), general6(dEOOpticalZoom)},
        {QStringLiteral("dTargetLongitude"), fixed7(dTargetLongitude)},
        {QStringLiteral("dTargetLatitude"), fixed7(dTargetLatitude)},
        {QStringLiteral("dLongitude"), fixed7(dLongitude)},
        {QStringLiteral("dLatitude"), fixed7(dLatitude)},
        {QStringLiteral("dAltitude"), fixed7(dAltitude)},
        {QStringLiteral("dYaw"), general6(dYaw)},
        {QStringLiteral("dYawAbs"), general6(dYawAbs)},
        {QStringLiteral("dPitch"), general6(dPitch)},
        {QStringLiteral("dFov"), general6(dFov)},
        {QStringLiteral("dUAVGPSDirection"), general6(dUAVGPSDirection)},
        {QStringLiteral("dUAVYaw"), general6(dUAVYaw)},
        {QStringLiteral("dUAVPitch"), general6(dUAVPitch)},
        {QStringLiteral("dUAVRoll"), general6(dUAVRoll)},
    };
}

QJsonObject show(const QRect &screenArea)
{
    const QString position = QStringLiteral("%1|%2|%3|%4")
                                 .arg(screenArea.x())
                                 .arg(screenArea.y())
                                 .arg(screenArea.width())
                                 .arg(screenArea.height());
    return QJsonObject{
        {QStringLiteral("type"), QStringLiteral("show")},
        {QStringLiteral("position"), position},
        {QStringLiteral("title"), QStringLiteral("Optivane")},
    };
}

} // namespace LinkMessages
