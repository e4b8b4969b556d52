#include "platform/LocalConnect.h"

#include <QFile>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool busy(int error)
{
    return error == EAGAIN || error == EINTR || error == EMFILE || error == ENFILE || error == ENOBUFS;
}

} // namespace

LocalConnect connectLocal(QLocalSocket &socket, const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || size_t(native.size()) >= sizeof(address.sun_path))
        return LocalConnect::Failed;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return busy(errno) ? LocalConnect::Busy : LocalConnect::Failed;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        const int error = errno;
        ::close(fd);
        return busy(error) ? LocalConnect::Busy : LocalConnect::Failed;
    }
    if (!socket.setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
        ::close(fd);
        return LocalConnect::Failed;
    }
    return LocalConnect::Connected;
}

} // namespace platform
