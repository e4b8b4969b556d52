#include "platform/FileIdentity.h"

#include <QFile>

#include <sys/stat.h>

namespace platform {

FileIdentity fileIdentity(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return FileIdentity();
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino)};
}

} // namespace platform
