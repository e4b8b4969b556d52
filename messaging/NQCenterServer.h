#pragma once

#include "NQFrameReader.h"

#include <QHash>
#include <QLocalSocket>
#include <QObject>
#include <QSet>

class NQListener;
class QLocalServer;
class NQThread;

// The meeting point of the nodes on one machine: every frame that one
// connected node writes is repeated to all the others, on a thread of its own.
class NQCenterServer : public QObject
{
    Q_OBJECT
public:
    static NQCenterServer *instance();

public slots:
    virtual bool launch();
    bool startInner(QString strServerName);
    void onSocketConnection();
    void onSocketReadyRead();
    void onSocketError(QLocalSocket::LocalSocketError error);
    void onSocketStateChanged(QLocalSocket::LocalSocketState state);

private:
    NQCenterServer();
    void relay(QLocalSocket *writer, const NQFrame &frame);
    void dropSocket(QLocalSocket *socket);
    void endForOtherCenter();

    NQThread *thread;
    QLocalServer *server;
    QSet<QLocalSocket *> sockets;
    NQListener *listener;
    // Frames are relayed whole, so that two writers' bytes never interleave
    // at a receiver; only the frame's counts are read, never its payload.
    QHash<QLocalSocket *, NQFrameReader> readers;
};
