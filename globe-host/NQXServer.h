#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <qwindowdefs.h>

#include "NQXNode.h"

class QTimer;
class XExeProcess;

// The host's end of the link: starts the globe viewer with the launch token,
// starts it again whenever it goes away, and turns the viewer's messages into
// signals. Only messages from the viewer's own link name count.
class NQXServer : public NQXNode
{
    Q_OBJECT
    friend class TestNQXServer;

public:
    // Starts the messaging node, which blocks while it joins the center.
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

protected:
    void handleNodeOnline(QString nodeName, INQData *data) override;
    void handleNodeOffline(QString nodeName) override;

private:
    void endViewer();
    QString viewerNodeName() const;
    void onWindowHandleMessage(const QJsonObject &jsonData);
    void onPositionMessage(const QJsonObject &jsonData);
    void onLaunchTimeout();

    QString clientLinkName;
    QTimer *launchTimer;
    XExeProcess *process;
    // The nodes of viewers this server ended itself, the latest last. What
    // they still send arrives after their successor started, under the link
    // name the successor now holds, and is not about the successor.
    QStringList endedViewers;
};
