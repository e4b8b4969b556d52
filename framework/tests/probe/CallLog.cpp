#include "CallLog.h"

#include <QMutex>
#include <QMutexLocker>

namespace calllog {

namespace {
QMutex mutex;
QStringList log;
} // namespace

// The entry is copied: a literal of a module library would otherwise stay
// shared with the log and vanish when the library is unloaded.
void record(const QString &entry)
{
    QMutexLocker locker(&mutex);
    log.append(QString(entry.constData(), entry.size()));
}

QStringList entries()
{
    QMutexLocker locker(&mutex);
    return log;
}

int count(const QString &entry)
{
    QMutexLocker locker(&mutex);
    return log.count(entry);
}

void clear()
{
    QMutexLocker locker(&mutex);
    log.clear();
}

} // namespace calllog
