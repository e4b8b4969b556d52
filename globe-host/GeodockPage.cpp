#include "GeodockPage.h"

#include <QDebug>
#include <QLabel>
#include <QMovie>
#include <QStackedWidget>
#include <QUuid>
#include <QVBoxLayout>
#include <QWindow>

#include "LinkMessages.h"
#include "NQXServer.h"
#include "PacketRegistry.h"
#include "platform/NativeWindow.h"

GeodockPage::GeodockPage(QWidget *parent)
    : QWidget(parent)
{
    // Before the server's node starts: the node's threads read the table.
    registerPacketCreators();
    auto *layout = new QVBoxLayout(this);
    stack = new QStackedWidget;
    layout->addWidget(stack);
    // A child, so that whatever drives the host from outside finds it and its
    // gotoPosition slot with findChild<NQXServer *>().
    server = new NQXServer(QUuid::createUuid().toString(), this);
    connectServer();
    server->upline();
    server->launchClient();
    createLoadingLabel();
}

GeodockPage::~GeodockPage()
{
    delete server;
    unregisterPacketCreators();
}

void GeodockPage::connectServer()
{
    connect(server, &NQXServer::winHandleReceived, this, &GeodockPage::onWinHandleReceived);
    connect(server, &NQXServer::clientHided, this, &GeodockPage::showLoading);
    connect(server, &NQXServer::positionReceived, this,
            [this](bool, double dLongitude, double dLatitude, double dAltitude) {
                onPositionReceived(dLongitude, dLatitude, dAltitude);
                emit positionChanged(dLongitude, dLatitude, dAltitude);
                emit stopPositionChanged(dLongitude, dLatitude, dAltitude);
            });
}

void GeodockPage::createLoadingLabel()
{
    loadingLabel = new QLabel(this);
    // Relative to the working directory, where an installation keeps its
    // shared user-interface resources three levels up.
    auto *movie = new QMovie(QStringLiteral("../../../UI/Resources/MapLoading.gif"), QByteArray(),
                             loadingLabel);
    loadingLabel->setMovie(movie);
    movie->start();
    stack->addWidget(loadingLabel);
    stack->setCurrentWidget(loadingLabel);
}

void GeodockPage::onWinHandleReceived(WId windowHandle)
{
    // fromWinId wraps any number, even one that names no window.
    if (!platform::nativeWindowExists(windowHandle)) {
        qWarning() << "no window for handle" << windowHandle;
        return;
    }
    delete container;
    container = embed(windowHandle);
    if (!container) {
        stack->setCurrentWidget(loadingLabel);
        return;
    }

    const QRect area(loadingLabel->mapToGlobal(QPoint(0, 0)), loadingLabel->size());
    server->sendDataToClient(LinkMessages::show(area));
    setProperty("_q_embedded_native_parent_handle", QVariant::fromValue<quint64>(windowHandle));
    stack->addWidget(container);
    stack->setCurrentWidget(container);
}

namespace {

// X11 counts in device pixels; on a scaled desktop Qt's geometry does not.
QRect inDevicePixels(const QWindow *window)
{
    const qreal ratio = window->devicePixelRatio();
    const QRect r = window->geometry();
    return QRect(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio),
                 qRound(r.height() * ratio));
}

} // namespace

QWidget *GeodockPage::embed(WId windowHandle)
{
    QWindow *window = QWindow::fromWinId(windowHandle);
    if (!window)
        return nullptr;
    QWidget *embedded = QWidget::createWindowContainer(window, nullptr, Qt::WindowFlags());
    if (!embedded) {
        delete window;
        return nullptr;
    }
    // The viewer places itself where "show" says, in screen coordinates, but
    // once embedded its moves are relative to the container: keep it where
    // the container puts it.
    new platform::ForeignWindowPin(windowHandle, [window] { return inDevicePixels(window); }, embedded);
    return embedded;
}

void GeodockPage::showLoading()
{
    stack->setCurrentWidget(loadingLabel);
}

void GeodockPage::onPositionReceived(double, double, double)
{
}
