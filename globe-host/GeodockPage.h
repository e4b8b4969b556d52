#pragma once

#include <QWidget>
#include <qwindowdefs.h>

class QLabel;
class QStackedWidget;
class NQXServer;

// The host's window: a loading animation until the viewer reports its
// window, then the viewer's window embedded in its place; the animation again
// whenever the viewer goes away, until its successor reports in.
class GeodockPage : public QWidget
{
    Q_OBJECT

public:
    // Starts the messaging node (blocks while it joins the center) and the
    // viewer.
    explicit GeodockPage(QWidget *parent = nullptr);
    ~GeodockPage() override;

signals:
    void positionChanged(double dLongitude, double dLatitude, double dAltitude);
    void stopPositionChanged(double dLongitude, double dLatitude, double dAltitude);

public slots:
    void onWinHandleReceived(WId windowHandle);
    void showLoading();
    void onPositionReceived(double dLongitude, double dLatitude, double dAltitude);

private:
    void connectServer();
    void createLoadingLabel();
    QWidget *embed(WId windowHandle);

    QLabel *loadingLabel = nullptr;
    QStackedWidget *stack = nullptr;
    QWidget *container = nullptr;
    NQXServer *server = nullptr;
};
