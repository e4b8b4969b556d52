#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Starts a program that lives on by itself: it is not the caller's child and
// it does not hold the caller's standard streams open (a reader of those
// would otherwise wait for the detached program to end). The arguments are
// passed as a list, never joined into one command line. The started
// program's process id goes to processId when given.
bool startDetached(const QString &program, const QStringList &arguments, qint64 *processId = nullptr);

} // namespace platform
