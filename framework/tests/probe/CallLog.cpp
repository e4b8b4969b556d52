#include "CallLog.h"

#include <QMutex>

#include "MutexLocker.h"

namespace calllog {

namespace {
QMutex mutex;
QStringList log;
} // namespace

// The entry is copied: a literal of a module library would otherwise stay
// shared with the log and vanish when the library is unloaded.
void record(const QString &entry)
{
    MutexLocker locker(&mutex);
    log.append(QString(entry.constData(), entry.size()));
}

QStringList entries()
{
    MutexLocker locker(&mutex);
    return log;
}

int count(const QString &entry)
{
    MutexLocker locker(&mutex);
    return log.count(entry);
}

void clear()
{
    MutexLocker locker(&mutex);
    log.clear();
}

} // namespace calllog
