#include "platform/Locate.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString programFolder()
{
    // /proc/self/exe names the program even before an application object
    // exists and even when argv[0] was a relative or made-up name.
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

static QString besideProgram(const QString &fileName, const QString &fallback)
{
    const QString path = QDir(programFolder()).filePath(fileName);
    return QFileInfo::exists(path) ? path : fallback;
}

QString libraryPath(const QString &bareName)
{
    const QString fileName = QStringLiteral("lib%1.so").arg(bareName);
    return besideProgram(fileName, fileName);
}

QString programPath(const QString &bareName)
{
    return besideProgram(bareName, bareName);
}

} // namespace platform
