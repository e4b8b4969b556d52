#pragma once

#include <QJsonObject>
#include <QString>
#include <QWidget>

#include <cstdint>

class GeoviewMapWidget;
class NQXClient;

// The viewer's top-level window. It waits off the screen until the host
// embeds it and says where it goes, and it carries the operator's position
// requests to the host.
class Geoscope : public QWidget
{
    Q_OBJECT

public:
    explicit Geoscope(QWidget *parent);
    ~Geoscope() override;

    // The launch token that follows "-Geoframe": Base64 of a JSON object.
    // Anything that does not decode to an object gives an empty object.
    static QJsonObject decodeLaunchToken(const QString &token);
    // The link to the host, made once the first earth file load has ended;
    // null before.
    const NQXClient *linkClient() const { return m_client; }

public slots:
    void onManualViewPositionChanged(bool continueSend, double dVerticalAngle,
                                     double dEOOpticalZoom, double dTargetLongitude,
                                     double dTargetLatitude, double dLongitude, double dLatitude,
                                     double dAltitude, double dYaw, double dYawAbs, double dPitch,
                                     double dFov, double dUAVGPSDirection, double dUAVYaw,
                                     double dUAVPitch, double dUAVRoll);
    void onForceLocationChanged();
    void onWindowShow(QString strTitle, int nLeft, int nRight, int nWidth, int nHeight);
    bool onLoactionChanged(QString strIp, bool continueSend, double dLongitude, double dLatitude);

private:
    // Body of the watchdog thread: ends the viewer once the host is gone.
    static void watchServerProcess(uint32_t processId);
    // Whether the window the host asks for is one the desktop can show.
    bool fitsTheDesktop(int left, int top, int width, int height) const;
    void createLinkClient(const QJsonObject &token);

    GeoviewMapWidget *m_mapWidget;
    NQXClient *m_client;
};
