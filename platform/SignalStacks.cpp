#include "platform/SignalStacks.h"

#include <cerrno>
#include <cstddef>
#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <threads.h>
#include <unistd.h>

namespace platform {
namespace {

// Room for a crash handler that writes its report with buffers on the stack
// and runs the unwinder for a backtrace.
const size_t stackSize = 128 * 1024;

using CreateThread = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
using CreateC11Thread = int (*)(thrd_t *, thrd_start_t, void *);

// The definitions that ours hide: the C library's, or those of a sanitizer
// whose runtime is a shared library loaded in front of it (GCC's). Not one
// linked into the program itself (clang's ThreadSanitizer and
// AddressSanitizer): its pthread_create is a weak definition in the program,
// which ours replaces, so the lookup below finds the C library's, the
// sanitizer never sees the thread start, and ThreadSanitizer ends the
// launcher at its first thread.
CreateThread nextCreateThread()
{
    static const auto next = reinterpret_cast<CreateThread>(dlsym(RTLD_NEXT, "pthread_create"));
    return next;
}

CreateC11Thread nextCreateC11Thread()
{
    static const auto next = reinterpret_cast<CreateC11Thread>(dlsym(RTLD_NEXT, "thrd_create"));
    return next;
}

size_t pageSize()
{
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

size_t mappedSize()
{
    return pageSize() + stackSize;
}

// A signal stack with an inaccessible page below it, so that a handler that
// outgrows it faults instead of writing over other memory, and at its top
// what the new thread is to run. The thread's start record lives here rather
// than on the heap: a thread that touches malloc, even only to free, takes a
// malloc arena of its own, 64 MB of address space each.
class SignalStack
{
public:
    // Made by the thread that starts the new one; nothing when memory is short.
    static SignalStack *map()
    {
        void *mapping = mmap(nullptr, mappedSize(), PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (mapping == MAP_FAILED)
            return nullptr;
        mprotect(mapping, pageSize(), PROT_NONE);
        return new (static_cast<char *>(mapping) + mappedSize() - recordRoom()) SignalStack(mapping);
    }

    // Whatever stack the thread had before (a sanitizer gives threads one)
    // is kept to be put back.
    bool install()
    {
        stack_t stack = {};
        stack.ss_sp = static_cast<char *>(mapping) + pageSize();
        stack.ss_size = stackSize - recordRoom();
        return sigaltstack(&stack, &previous) == 0;
    }

    // On the thread it was installed on, as the thread ends.
    void uninstall()
    {
        // A signal after the stack is gone must not be delivered onto it.
        sigaltstack(&previous, nullptr);
        unmap();
    }

    void unmap() { munmap(mapping, mappedSize()); }

    void *(*routine)(void *) = nullptr;
    thrd_start_t c11Routine = nullptr;
    void *argument = nullptr;

private:
    explicit SignalStack(void *mapping) : mapping(mapping) {}
    static size_t recordRoom() { return (sizeof(SignalStack) + 63) & ~size_t(63); }

    void *mapping;
    stack_t previous = {};
};

// Its destructor runs however a thread ends: by returning, through
// pthread_exit or cancellation, also where code without unwind tables skips
// every destructor on the thread's stack.
class StackKey
{
public:
    StackKey() { created = pthread_key_create(&key, freeStack) == 0; }

    bool adopt(SignalStack *stack) const
    {
        if (!created || pthread_setspecific(key, stack) != 0)
            return false;
        if (stack->install())
            return true;
        pthread_setspecific(key, nullptr);
        return false;
    }

private:
    static void freeStack(void *stack) { static_cast<SignalStack *>(stack)->uninstall(); }

    pthread_key_t key = 0;
    bool created = false;
};

// Made early, by the launcher's own thread: the first keys are held in the
// thread itself, later ones in blocks the C library allocates per thread.
const StackKey &stackKey()
{
    static const StackKey key;
    return key;
}

// A thread whose stack cannot be installed runs without it, as it would
// without this file.
void adoptOrDrop(SignalStack *stack)
{
    if (!stackKey().adopt(stack))
        stack->unmap();
}

void *startWithSignalStack(void *record)
{
    auto *stack = static_cast<SignalStack *>(record);
    void *(*const routine)(void *) = stack->routine;
    void *const argument = stack->argument;
    adoptOrDrop(stack);
    return routine(argument);
}

int startC11WithSignalStack(void *record)
{
    auto *stack = static_cast<SignalStack *>(record);
    const thrd_start_t routine = stack->c11Routine;
    void *const argument = stack->argument;
    adoptOrDrop(stack);
    return routine(argument);
}

} // namespace

void giveThisAndEveryNewThreadASignalStack()
{
    stackKey();
    // The thread that asks lives as long as the process: its stack is never
    // freed, not even by the destructors that run at exit.
    static const bool given = [] {
        SignalStack *stack = SignalStack::map();
        if (stack && !stack->install())
            stack->unmap();
        return true;
    }();
    (void)given;
}

} // namespace platform

// Exported from the program, so that the libraries it loads start their
// threads through these too.
extern "C" __attribute__((visibility("default"))) int
pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*routine)(void *),
               void *argument) noexcept
{
    const platform::CreateThread next = platform::nextCreateThread();
    if (!next)
        return EAGAIN;
    platform::SignalStack *stack = platform::SignalStack::map();
    if (!stack)
        return next(thread, attributes, routine, argument);
    stack->routine = routine;
    stack->argument = argument;
    const int result = next(thread, attributes, platform::startWithSignalStack, stack);
    if (result != 0)
        stack->unmap();
    return result;
}

// The C library starts these threads without calling pthread_create by name.
extern "C" __attribute__((visibility("default"))) int thrd_create(thrd_t *thread, thrd_start_t routine,
                                                                   void *argument)
{
    const platform::CreateC11Thread next = platform::nextCreateC11Thread();
    if (!next)
        return thrd_error;
    platform::SignalStack *stack = platform::SignalStack::map();
    if (!stack)
        return next(thread, routine, argument);
    stack->c11Routine = routine;
    stack->argument = argument;
    const int result = next(thread, platform::startC11WithSignalStack, stack);
    if (result != thrd_success)
        stack->unmap();
    return result;
}
