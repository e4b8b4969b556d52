#include "SingleApplication.h"

#include <QDebug>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include "platform/LocalServerName.h"

// How long a knock waits for a running instance to answer, and how long a
// running instance waits for a knocking one to say something.
static const int connectTimeoutMs = 500;
static const int readTimeoutMs = 1000;

SingleApplication::SingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
    , serverName(QFileInfo(applicationName()).fileName())
{
    initLocalConnection();
}

void SingleApplication::initLocalConnection()
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (socket.waitForConnected(connectTimeoutMs)) {
        qDebug() << serverName + QStringLiteral(" already running.");
        running = true;
        return;
    }
    listen();
}

void SingleApplication::listen()
{
    localServer = new QLocalServer(this);
    connect(localServer, &QLocalServer::newConnection, this, &SingleApplication::_newLocalConnection);
    // An instance that crashed leaves its name behind; a live instance that
    // started in the meantime keeps its server.
    if (!platform::listenReclaiming(*localServer, serverName))
        qDebug() << "listen failed:" << localServer->errorString();
}

void SingleApplication::_newLocalConnection()
{
    QLocalSocket *socket = localServer->nextPendingConnection();
    if (!socket)
        return;
    socket->waitForReadyRead(readTimeoutMs);
    delete socket;
}
