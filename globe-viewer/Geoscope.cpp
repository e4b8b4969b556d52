#include "Geoscope.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonDocument>
#include <QScreen>
#include <QVBoxLayout>

#include <thread>

#include "GeoviewMapWidget.h"
#include "NQXClient.h"
#include "platform/ExitProcess.h"
#include "platform/ProcessWatch.h"

Geoscope::Geoscope(QWidget *parent)
    : QWidget(parent)
    , m_mapWidget(nullptr)
    , m_client(nullptr)
{
    // Never managed by a window manager: the host takes this window into
    // its page, and a manager that sees its top-level leave it withdraws it
    // there, unmapped. The window lives inside the host or off every screen.
    setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_mapWidget = new GeoviewMapWidget(this);
    layout->addWidget(m_mapWidget);
    connect(m_mapWidget, &GeoviewMapWidget::manualViewPositionChanged, this,
            &Geoscope::onManualViewPositionChanged);
    connect(m_mapWidget, &GeoviewMapWidget::forceLocationChanged, this,
            &Geoscope::onForceLocationChanged);

    // main makes sure the token's place exists before the window is built.
    const QJsonObject token = decodeLaunchToken(QCoreApplication::arguments().value(2));
    const uint64_t serverProcessId = token.value("ServerProcessId").toString().toULongLong(nullptr, 10);
    std::thread(&Geoscope::watchServerProcess, uint32_t(serverProcessId)).detach();

    connect(m_mapWidget, &GeoviewMapWidget::earthFileLoadFinished,
            [this, token](bool) { createLinkClient(token); });

    // Shown, so that it has a native window for the host to embed, but off
    // every screen until the host places it.
    setGeometry(-2, -2, 1, 1);
    show();
}

Geoscope::~Geoscope()
{
    // The link's node listens under this process's id; it goes with the
    // window, so that a later window of the same process can take it.
    delete m_client;
}

QJsonObject Geoscope::decodeLaunchToken(const QString &token)
{
    return QJsonDocument::fromJson(QByteArray::fromBase64(token.toUtf8())).object();
}

void Geoscope::watchServerProcess(uint32_t processId)
{
    platform::waitForProcessEnd(processId);
    platform::exitProcessNow(-1);
}

void Geoscope::createLinkClient(const QJsonObject &token)
{
    // Starting a node blocks for seconds and a second one would only sit
    // beside the first, so a reloaded earth file keeps the link it has.
    if (m_client != nullptr)
        return;
    const QString clientLinkName = token.value("ClientLinkName").toString();
    const QString serverLinkName = token.value("ServerLinkName").toString();
    m_client = new NQXClient(winId(), clientLinkName, serverLinkName, nullptr);
    connect(m_client, &NQXClient::windowShow, this, &Geoscope::onWindowShow);
    connect(m_client, &NQXClient::loactionChanged, this, &Geoscope::onLoactionChanged);
    connect(m_client, &NQXClient::positionChanged, m_mapWidget, &GeoviewMapWidget::autoGoToPosition);
    m_client->upline();
}

void Geoscope::onManualViewPositionChanged(bool continueSend, double dVerticalAngle,
                                           double dEOOpticalZoom, double dTargetLongitude,
                                           double dTargetLatitude, double dLongitude,
                                           double dLatitude, double dAltitude, double dYaw,
                                           double dYawAbs, double dPitch, double dFov,
                                           double dUAVGPSDirection, double dUAVYaw,
                                           double dUAVPitch, double dUAVRoll)
{
    if (m_client == nullptr)
        return;
    m_client->sendPosition(continueSend, dVerticalAngle, dEOOpticalZoom, dTargetLongitude,
                           dTargetLatitude, dLongitude, dLatitude, dAltitude, dYaw, dYawAbs, dPitch,
                           dFov, dUAVGPSDirection, dUAVYaw, dUAVPitch, dUAVRoll);
}

void Geoscope::onForceLocationChanged()
{
    if (m_client != nullptr)
        m_client->sendForceLocationChanged();
}

void Geoscope::onWindowShow(QString strTitle, int nLeft, int nRight, int nWidth, int nHeight)
{
    if (!fitsTheDesktop(nLeft, nRight, nWidth, nHeight)) {
        qWarning() << "show refused, the window would not fit the desktop:" << nLeft << nRight << nWidth
                   << nHeight;
        return;
    }
    setWindowTitle(strTitle);
    m_mapWidget->setShowTitle(strTitle);
    setGeometry(nLeft, nRight, nWidth, nHeight);
    show();
}

bool Geoscope::fitsTheDesktop(int left, int top, int width, int height) const
{
    // The host asks for its page's area, which a screen holds. A globe
    // larger than the desktop would only take memory by the gigabyte and
    // time by the second to draw what nobody can see; a place further off
    // the desktop than the desktop is wide is nowhere an operator looks.
    const QRect desktop = screen()->virtualGeometry();
    if (width < 1 || height < 1 || width > desktop.width() || height > desktop.height())
        return false;
    const QRect reach = desktop.adjusted(-desktop.width(), -desktop.height(), desktop.width(), desktop.height());
    return left >= reach.left() && top >= reach.top() && qint64(left) + width <= qint64(reach.right()) + 1
           && qint64(top) + height <= qint64(reach.bottom()) + 1;
}

bool Geoscope::onLoactionChanged(QString strIp, bool continueSend, double dLongitude,
                                 double dLatitude)
{
    Q_UNUSED(strIp)
    m_mapWidget->manualGoToPosition(continueSend, dLongitude, dLatitude, 0.0);
    return true;
}
