#include "platform/RuntimeFolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

enum class Links { Follow, Refuse };

// Why the folder cannot be the user's own; empty when it can.
QString whyNotPrivate(const QString &folder, Links links)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat info = {};
    const int result = links == Links::Follow ? ::stat(path.constData(), &info)
                                              : ::lstat(path.constData(), &info);
    if (result != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("it is a symbolic link");
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("it is not a folder");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("it belongs to user %1").arg(info.st_uid);
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("others can write to it");
    return QString();
}

bool refuse(const QString &folder, const QString &why)
{
    qWarning().noquote() << "refusing the private folder" << folder + ':' << why;
    return false;
}

bool isPrivate(const QString &folder, Links links)
{
    const QString why = whyNotPrivate(folder, links);
    return why.isEmpty() || refuse(folder, why);
}

// Without this a socket path that does not fit fails to listen as "Unknown
// error 0", and connecting to it finds nobody: nodes would wait in silence.
bool socketNamesFit(const QString &folder, int longestSocketName)
{
    const int limit = int(sizeof(sockaddr_un::sun_path)) - 1;
    const int bytes = QFile::encodeName(folder).size() + 1 + longestSocketName;
    if (bytes <= limit)
        return true;
    qWarning().noquote() << "userRuntimeFolder: local socket paths in" << folder << "take" << bytes
                         << "bytes, more than the" << limit << "a local socket name holds";
    return false;
}

QString madePrivate(const QString &folder)
{
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        refuse(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }
    return isPrivate(folder, Links::Refuse) ? folder : QString();
}

} // namespace

QString userRuntimeFolder(const QString &name, int longestSocketName)
{
    // The session's runtime folder may itself be reached through a link;
    // only the folder made here must not be one.
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(session)) {
        const QString folder = session + QLatin1Char('/') + name;
        if (socketNamesFit(folder, longestSocketName))
            return isPrivate(session, Links::Follow) ? madePrivate(folder) : QString();
    }
    const QString folder = QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(::geteuid());
    return socketNamesFit(folder, longestSocketName) ? madePrivate(folder) : QString();
}

} // namespace platform
