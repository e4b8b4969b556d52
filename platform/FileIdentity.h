#pragma once

#include <QString>
#include <QtGlobal>

namespace platform {

// Which file a path names at the moment, a final link not followed: a file
// removed and made again under the same path has another identity, and a
// path with nothing there has the null one.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;

    bool isNull() const { return inode == 0; }
    bool operator==(const FileIdentity &other) const { return device == other.device && inode == other.inode; }
    bool operator!=(const FileIdentity &other) const { return !(*this == other); }
};

FileIdentity fileIdentity(const QString &path);

} // namespace platform
