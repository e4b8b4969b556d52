#include "platform/ResidentMemory.h"

#include <QFile>
#include <QRegularExpression>

namespace platform {

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    const QRegularExpression resident(QStringLiteral("VmRSS:\\s*(\\d+) kB"));
    return resident.match(QString::fromLatin1(status.readAll())).captured(1).toDouble() / 1024.0;
}

} // namespace platform
