#pragma once

#include <QJsonObject>
#include <QString>
#include <QWindow>

#include "NQXNode.h"

class QTimer;
class XExeProcess;

// The host's end of the link: starts the globe viewer with the launch token,
// starts it again whenever it goes away, and turns the viewer's messages into
// signals. Only messages from the viewer's own link name count.
class NQXServer : public NQXNode
{
    Q_OBJECT

public:
    // Starts the messaging node, which blocks for at least three seconds.
    // Neither announces nor launches: call upline() and launchClient().
    explicit NQXServer(QString linkName, QObject *parent = nullptr);
    ~NQXServer() override;

signals:
    void winHandleReceived(WId windowHandle);
    void positionReceived(bool continueSend, double dLongitude, double dLatitude, double dAltitude);
    void stopPositionReceived();
    void clientHided();
    void forceLocationChanged();

public slots:
    void launchClient();
    void sendDataToClient(QJsonObject jsonData);
    // The way in for whatever drives the host from outside: moves the
    // viewer's view.
    void gotoPosition(double dVerticalAngle, double dEOOpticalZoom, double dTargetLongitude,
                      double dTargetLatitude, double dLongitude, double dLatitude,
                      double dAltitude, double dYaw, double dYawAbs, double dPitch, double dFov,
                      double dUAVGPSDirection, double dUAVYaw, double dUAVPitch, double dUAVRoll);
    void onClientData(QString strLinkName, QJsonObject jsonData);
    void onClientOnline(QString strLinkName);
    void onClientOffline(QString strLinkName);

private:
    void onWindowHandleMessage(const QJsonObject &jsonData);
    void onPositionMessage(const QJsonObject &jsonData);
    void onLaunchTimeout();

    QString clientLinkName;
    QTimer *launchTimer;
    XExeProcess *process;
};
