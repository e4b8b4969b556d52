#include "platform/LibraryLocation.h"
#include "platform/Locate.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>
#include <pthread.h>

namespace platform {

namespace {

// A thread's hold on its library is a reference taken with dlopen and kept
// as the thread's value of this key. The key's destructor is dlclose
// itself, so the reference is dropped by the C library's thread teardown
// and the call returns there: were it dropped by code of the library, the
// last drop would return into code that is no longer mapped. dlclose takes
// a pointer and its int result is ignored by the caller, which the
// platform's calling convention allows.
class ThreadHolds
{
public:
    ThreadHolds()
    {
        // Through the generic function type, which says the cast is meant.
        const auto release = reinterpret_cast<void (*)(void *)>(reinterpret_cast<void (*)()>(&dlclose));
        valid = pthread_key_create(&key, release) == 0;
    }
    // Runs as the library goes, when no thread holds it any more.
    ~ThreadHolds()
    {
        if (valid)
            pthread_key_delete(key);
    }

    bool holding() const { return !valid || pthread_getspecific(key) != nullptr; }
    void hold(void *handle)
    {
        if (pthread_setspecific(key, handle) != 0)
            dlclose(handle);
    }

private:
    pthread_key_t key{};
    bool valid = false;
};

// Made on first use, so that only a library whose threads hold it has a key.
ThreadHolds &threadHolds()
{
    static ThreadHolds holds;
    return holds;
}

} // namespace

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

void keepLoadedWhileThreadRuns(const void *address)
{
    ThreadHolds &holds = threadHolds();
    if (holds.holding())
        return;
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return;
    if (void *handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD))
        holds.hold(handle);
}

} // namespace platform
