#include "RawPeer.h"

#include "NQNames.h"

#include <QDeadlineTimer>

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

void makeStaleSocketFile(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = path.toLocal8Bit();
    std::strncpy(address.sun_path, native.constData(), sizeof(address.sun_path) - 1);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address));
    ::close(fd);
}
