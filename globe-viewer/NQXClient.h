#pragma once

#include <QJsonObject>
#include <QString>
#include <QWidget>

#include "NQXNode.h"

// The viewer's end of the link to the globe host: hands the host the
// viewer's window when the host comes online, turns the host's messages into
// signals, and sends the operator's position requests back. Only the host's
// link name is listened to.
class NQXClient : public NQXNode
{
    Q_OBJECT

public:
    // Blocks while the messaging node starts and joins the center.
    NQXClient(WId windowHandle, QString linkName, QString serverLinkName, QObject *parent);

signals:
    void windowShow(QString strTitle, int nLeft, int nRight, int nWidth, int nHeight);
    bool loactionChanged(QString strIp, bool continueSend, double dLongitude, double dLatitude);
    bool stopPositionChanged(double dVerticalAngle, double dEOOpticalZoom, double dTargetLongitude,
                             double dTargetLatitude, double dLongitude, double dLatitude,
                             double dAltitude, double dYaw, double dYawAbs, double dPitch,
                             double dFov, double dUAVGPSDirection, double dUAVYaw,
                             double dUAVPitch, double dUAVRoll);
    bool positionChanged(double dVerticalAngle, double dEOOpticalZoom, double dTargetLongitude,
                         double dTargetLatitude, double dLongitude, double dLatitude,
                         double dAltitude, double dYaw, double dYawAbs, double dPitch, double dFov,
                         double dUAVGPSDirection, double dUAVYaw, double dUAVPitch,
                         double dUAVRoll);

public slots:
    void sendWindowHandle(WId windowHandle);
    void sendPosition(bool continueSend, double dVerticalAngle, double dEOOpticalZoom,
                      double dTargetLongitude, double dTargetLatitude, double dLongitude,
                      double dLatitude, double dAltitude, double dYaw, double dYawAbs,
                      double dPitch, double dFov, double dUAVGPSDirection, double dUAVYaw,
                      double dUAVPitch, double dUAVRoll);
    void sendForceLocationChanged();
    void onServerOffline(QString strLinkName);
    void onServerOnline(QString strLinkName);
    void onServerMessage(QString strLinkName, QJsonObject jsonData);

private:
    void handleServerMessage(QJsonObject json);
    void handleShow(QJsonObject json);
    void handleLocation(QJsonObject json);
    void handlePosition(QJsonObject json);

    WId windowHandle;
    QString serverLinkName;
};
