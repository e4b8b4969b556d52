#include "platform/CommonDataFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

QString commonDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(folder);
    return folder;
}

} // namespace platform
