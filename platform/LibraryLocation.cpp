#include "platform/LibraryLocation.h"
#include "platform/Locate.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace platform {

QString fileContaining(const void *address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return QString();
    return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
}

QString libraryPathBeside(const void *address, const QString &bareName)
{
    const QString file = fileContaining(address);
    if (!file.isEmpty()) {
        const QString beside = QFileInfo(file).dir().filePath(QStringLiteral("lib%1.so").arg(bareName));
        if (QFileInfo::exists(beside))
            return beside;
    }
    return libraryPath(bareName);
}

void keepLoaded(const void *address)
{
    const QString file = fileContaining(address);
    if (file.isEmpty())
        return;
    // Opening the already loaded file again with NODELETE marks it as never
    // to be unmapped; the extra reference itself is never dropped either.
    dlopen(QFile::encodeName(file).constData(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

} // namespace platform
