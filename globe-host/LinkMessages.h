#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QRect>
#include <QString>

// The texts that host and viewer agree on: the token on the viewer's command
// line and the messages the host sends. Both ends parse what they receive and
// ignore the layout, but the viewer is written against these exact forms.
namespace LinkMessages {

// Base64 of the indented JSON naming the host process and both link names.
QByteArray launchToken(qint64 serverProcessId, const QString &serverLinkName);

QString clientLinkNameOf(const QString &serverLinkName);

// The fifteen values of the position record as strings: coordinates and the
// altitude in fixed form with seven decimals, the rest with six significant
// digits.
QJsonObject position(double dVerticalAngle, double dEOOpticalZoom, double dTargetLongitude,
                     double dTargetLatitude, double dLongitude, double dLatitude,
                     double dAltitude, double dYaw, double dYawAbs, double dPitch, double dFov,
                     double dUAVGPSDirection, double dUAVYaw, double dUAVPitch, double dUAVRoll);

// Where on the screen the viewer's window goes, as x|y|width|height.
QJsonObject show(const QRect &screenArea);

} // namespace LinkMessages
