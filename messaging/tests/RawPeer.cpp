#include "RawPeer.h"

#include "NQNames.h"

#include <QDeadlineTimer>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

bool RawPeer::connectTo(const QString &serverName)
{
    socket.connectToServer(meetingPath(serverName));
    return socket.waitForConnected(5000);
}

void RawPeer::write(const QByteArray &bytes)
{
    socket.write(bytes);
    socket.flush();
    socket.waitForBytesWritten(5000);
}

bool RawPeer::receive(const QByteArray &expected, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (received.size() < expected.size() && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        received += socket.readAll();
    }
    const bool matched = received == expected;
    received.clear();
    return matched;
}

// Reads at least once, so that a zero time takes what has already arrived.
QByteArray RawPeer::receivedWithin(int ms)
{
    QDeadlineTimer deadline(ms);
    do {
        socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        received += socket.readAll();
    } while (!deadline.hasExpired());
    QByteArray bytes = received;
    received.clear();
    return bytes;
}

bool RawPeer::waitForDisconnected(int timeoutMs)
{
    return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(timeoutMs);
}

QString meetingPath(const QString &name)
{
    return nqnames::meetingPath(nqnames::meetingFolder(), name);
}

static sockaddr_un addressOf(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = path.toLocal8Bit();
    std::strncpy(address.sun_path, native.constData(), sizeof(address.sun_path) - 1);
    return address;
}

void makeStaleSocketFile(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
    ::close(fd);
}

// A queue of no length still holds one connection, which the filler takes.
FullServer::FullServer(const QString &path)
    : path(path.toLocal8Bit())
    , listener(::socket(AF_UNIX, SOCK_STREAM, 0))
    , filler(::socket(AF_UNIX, SOCK_STREAM, 0))
{
    const sockaddr_un address = addressOf(path);
    ::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
    ::listen(listener, 0);
    ::connect(filler, reinterpret_cast<const sockaddr *>(&address), sizeof(address));
}

FullServer::~FullServer()
{
    ::close(filler);
    ::close(listener);
    ::unlink(path.constData());
}

bool FullServer::acceptNext(RawPeer &peer, int timeoutMs)
{
    ::close(::accept(listener, nullptr, nullptr));
    pollfd waiting{listener, POLLIN, 0};
    if (::poll(&waiting, 1, timeoutMs) != 1)
        return false;
    const int fd = ::accept(listener, nullptr, nullptr);
    return fd >= 0 && peer.socket.setSocketDescriptor(fd);
}
