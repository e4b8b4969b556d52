#pragma once

#include "platform/FileIdentity.h"

#include <QObject>
#include <QString>

class QLocalServer;
class QTimer;

// Keeps a local server reachable under its path in the user's folder. A
// server can lose its socket while its process runs on: an accept that
// finds no free descriptor makes Qt close it and remove its file, and the
// user's folder goes when the user's last session ends. Once a second, on
// the server's thread, the listener looks whether the server still listens
// on the file it made, and listens again (making the folder again) if not.
//
// A timer rather than a file system watch: a watch costs every node a
// descriptor and one of the few watch instances a user may have, and would
// not see the accept that Qt gave up on; one look at a file a second costs
// nothing measurable.
class NQListener : public QObject
{
    Q_OBJECT
public:
    // The server is the parent's, and lives on the parent's thread.
    NQListener(QLocalServer *server, QObject *parent);

    // On the server's thread. Listens, a stale leftover of the path removed
    // first; from then on listens again whenever the server has lost it.
    bool listen(const QString &path);

signals:
    // The server had lost its socket, and another process's live server
    // serves the path now; the listener leaves the path to it.
    void taken();

private:
    void noteListening();
    void keepListening();
    QString whyLost() const;
    void listenAgain();
    QString whyNotAgain();

    QLocalServer *server;
    QTimer *timer;
    QString path;
    platform::FileIdentity identity;
    // Qt keeps the error of a listen that failed before one succeeded.
    QString errorWhenListened;
    // Set while the server cannot listen again: said once, tried each time.
    bool lost = false;
};
