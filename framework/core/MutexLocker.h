#pragma once

#include <QMutex>

#include "ThreadSanitizer.h"

// Holds a QMutex for its lifetime, like QMutexLocker, and also tells
// ThreadSanitizer about it (see ThreadSanitizer.h).
class MutexLocker
{
public:
    explicit MutexLocker(QMutex *mutex) : m_mutex(mutex) { Lock(m_mutex); }
    ~MutexLocker() { Unlock(m_mutex); }
    MutexLocker(const MutexLocker &) = delete;
    MutexLocker &operator=(const MutexLocker &) = delete;

    // For locks that cannot be scoped.
    static void Lock(QMutex *mutex)
    {
        mutex->lock();
        tsan::acquired(mutex);
    }

    static void Unlock(QMutex *mutex)
    {
        tsan::released(mutex);
        mutex->unlock();
    }

private:
    QMutex *m_mutex;
};
