#include "NQListener.h"

#include "NQNames.h"
#include "platform/LocalServerName.h"

#include <QDebug>
#include <QFileInfo>
#include <QLocalServer>
#include <QTimer>

namespace {

constexpr int checkIntervalMs = 1000;

} // namespace

NQListener::NQListener(QLocalServer *server, QObject *parent)
    : QObject(parent)
    , server(server)
    , timer(new QTimer(this))
{
    connect(timer, &QTimer::timeout, this, &NQListener::keepListening);
}

bool NQListener::listen(const QString &path)
{
    this->path = path;
    if (!platform::listenReclaiming(*server, path))
        return false;
    noteListening();
    timer->start(checkIntervalMs);
    return true;
}

void NQListener::noteListening()
{
    identity = platform::fileIdentity(path);
    errorWhenListened = server->errorString();
}

void NQListener::keepListening()
{
    if (!lost) {
        const QString why = whyLost();
        if (why.isEmpty())
            return;
        qWarning().noquote() << "NQListener::keepListening lost the server at" << path + ':' << why;
    }
    listenAgain();
}

// After a failed accept Qt closes the server's socket and removes its file,
// yet still reports the server as listening (and asking it for its socket
// then crashes): the file is what tells.
QString NQListener::whyLost() const
{
    const platform::FileIdentity now = platform::fileIdentity(path);
    if (now.isNull() && server->errorString() != errorWhenListened)
        return QStringLiteral("it was closed (%1)").arg(server->errorString());
    if (now.isNull())
        return QStringLiteral("its socket file is gone");
    if (now != identity)
        return QStringLiteral("its socket file was replaced");
    return QString();
}

void NQListener::listenAgain()
{
    // Closing the server removes whatever file lies under its path: a live
    // server of another process keeps its own.
    const platform::FileIdentity now = platform::fileIdentity(path);
    if (!now.isNull() && now != identity && platform::localServerServed(path)) {
        qWarning().noquote() << "NQListener::listenAgain another process serves" << path;
        timer->stop();
        emit taken();
        return;
    }
    const QString why = whyNotAgain();
    if (why.isEmpty()) {
        noteListening();
        lost = false;
        qWarning().noquote() << "NQListener::listenAgain listening again at" << path;
        return;
    }
    if (!lost)
        qWarning().noquote() << "NQListener::listenAgain cannot listen again yet at" << path + ':' << why;
    lost = true;
}

// Empty once the server listens again.
QString NQListener::whyNotAgain()
{
    // The folder that holds the user's folder, the session's, comes back
    // only with a new session of the user: nobody else may make it.
    const QString folder = QFileInfo(path).path();
    if (!QFileInfo::exists(QFileInfo(folder).path()))
        return QStringLiteral("the folder that held it is gone");
    if (nqnames::meetingFolder().isEmpty())
        return QStringLiteral("its folder cannot be made again");
    server->close();
    if (!platform::listenReclaiming(*server, path))
        return server->errorString();
    return QString();
}
