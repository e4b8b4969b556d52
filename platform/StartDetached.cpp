#include "platform/StartDetached.h"

#include <QProcess>

namespace platform {

bool startDetached(const QString &program, const QStringList &arguments, qint64 *processId)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached(processId);
}

} // namespace platform
