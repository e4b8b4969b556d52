#include "platform/SignalStacks.h"

#include <cerrno>
#include <cstddef>
#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace platform {
namespace {

// Room for a crash handler that writes its report with buffers on the stack
// and runs the unwinder for a backtrace.
const size_t stackSize = 128 * 1024;

using CreateThread = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);

// The definition that ours hides: the C library's, or a sanitizer's that
// stands between.
CreateThread nextCreateThread()
{
    static const auto next = reinterpret_cast<CreateThread>(dlsym(RTLD_NEXT, "pthread_create"));
    return next;
}

// A signal stack installed on the calling thread, with an inaccessible page
// below it so that a handler that outgrows it faults instead of writing over
// other memory. Whatever stack the thread had before (a sanitizer gives
// threads one) is put back when it goes.
class SignalStack
{
public:
    SignalStack()
    {
        mapping = mmap(nullptr, mappedSize(), PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (mapping == MAP_FAILED) {
            mapping = nullptr;
            return;
        }
        mprotect(mapping, pageSize(), PROT_NONE);
        stack_t stack = {};
        stack.ss_sp = static_cast<char *>(mapping) + pageSize();
        stack.ss_size = stackSize;
        if (sigaltstack(&stack, &previous) != 0)
            release();
    }
    ~SignalStack()
    {
        if (!mapping)
            return;
        // A signal after the stack is gone must not be delivered onto it.
        sigaltstack(&previous, nullptr);
        release();
    }
    SignalStack(const SignalStack &) = delete;
    SignalStack &operator=(const SignalStack &) = delete;

private:
    static size_t pageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
    static size_t mappedSize() { return pageSize() + stackSize; }
    void release()
    {
        munmap(mapping, mappedSize());
        mapping = nullptr;
    }

    void *mapping = nullptr;
    stack_t previous = {};
};

struct ThreadStart
{
    void *(*routine)(void *);
    void *argument;
};

// The stack goes when the routine returns, and also when the thread ends
// through pthread_exit or cancellation, whose unwinding runs destructors.
void *startWithSignalStack(void *start)
{
    const ThreadStart threadStart = *static_cast<ThreadStart *>(start);
    delete static_cast<ThreadStart *>(start);
    SignalStack stack;
    return threadStart.routine(threadStart.argument);
}

} // namespace

void giveEveryThreadASignalStack()
{
    // The thread that asks lives as long as the process: its stack is never
    // freed, not even by the destructors that run at exit.
    alignas(SignalStack) static unsigned char storage[sizeof(SignalStack)];
    static const bool given = (new (storage) SignalStack, true);
    (void)given;
}

} // namespace platform

// Exported from the program, so that the libraries it loads start their
// threads through it too.
extern "C" __attribute__((visibility("default"))) int
pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*routine)(void *),
               void *argument) noexcept
{
    const platform::CreateThread next = platform::nextCreateThread();
    if (!next)
        return EAGAIN;
    auto *start = new (std::nothrow) platform::ThreadStart{routine, argument};
    if (!start)
        return EAGAIN;
    const int result = next(thread, attributes, platform::startWithSignalStack, start);
    if (result != 0)
        delete start;
    return result;
}
