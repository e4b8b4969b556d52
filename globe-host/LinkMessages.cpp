#include "LinkMessages.h"

#include <QJsonDocument>

#include <array>

#include "PositionKeys.h"

namespace LinkMessages {

namespace {

// The target's and the drone's coordinates and the altitude, which stand
// together in the record, keep seven decimals; the angles and the zoom six
// significant digits.
constexpr size_t firstCoordinate = 2;
constexpr size_t lastCoordinate = 6;

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
    const std::array<double, positionKeys.size()> values = {
        dVerticalAngle, dEOOpticalZoom, dTargetLongitude, dTargetLatitude, dLongitude,
        dLatitude,      dAltitude,      dYaw,             dYawAbs,         dPitch,
        dFov,           dUAVGPSDirection, dUAVYaw,        dUAVPitch,       dUAVRoll};
    QJsonObject message{{QStringLiteral("type"), QStringLiteral("position")}};
    for (size_t i = 0; i < values.size(); ++i) {
        const bool coordinate = i >= firstCoordinate && i <= lastCoordinate;
        message.insert(QLatin1String(positionKeys[i]),
                       coordinate ? fixed7(values[i]) : general6(values[i]));
    }
    return message;
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
