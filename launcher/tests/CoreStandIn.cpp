// Stands in for the framework library: its Run does what the first command-
// line argument asks, so that the tests can drive the launcher through a
// normal end, a long run with an event loop, and every kind of crash.
//
//   return <n>     return n
//   hold           run the event loop until standard input closes
//   null           write through a null pointer
//   jump           call code at address 0x1234
//   divide         divide an integer by zero
//   overflow       recurse until the stack overflows
//   overflow-thread  the same on a QThread of its own
//   overflow-c11-thread  the same on a thread started with thrd_create
//   null-no-descriptors  use up every file descriptor the process may have,
//                        then write through a null pointer
//   null-while-opening   the same while another thread keeps retrying open()
//   threads-end    end 16 threads at once through pthread_exit in code
//                  without unwind tables; log the mappings they left
//   abort          abort
//   throw          throw an exception that nothing catches
//   throw-thread   the same on a thread of its own
//   <kind>-after-line   read a line from standard input first
//   null-while-loading  write through a null pointer while the launcher
//                       loads the library, before Run

#include <QFile>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>
#include <threads.h>
#include <vector>
#include <unistd.h>

#include "InputWait.h"

// Built without unwind tables, as C libraries often are: no destructor of an
// older frame on the thread's stack runs when it ends its thread through
// pthread_exit. Waits at the barrier it is given, if any, first.
extern "C" void *endWithoutUnwinding(void *barrier);

namespace {

void writeThroughNull()
{
    volatile int *volatile pointer = nullptr;
    *pointer = 1;
}

void jumpTo1234()
{
    volatile uintptr_t address = 0x1234;
    reinterpret_cast<void (*)()>(address)();
}

int divideByZero()
{
    // Both volatile: a constant numerator lets the compiler drop the division.
    volatile int numerator = 1;
    volatile int zero = 0;
    return numerator / zero;
}

int recurse(int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (depth < 0)
        return 0;
    return recurse(depth + 1) + frame[0];
}

void overflowOnThread()
{
    std::unique_ptr<QThread> thread(QThread::create([] { recurse(0); }));
    thread->start();
    thread->wait();
}

void overflowOnC11Thread()
{
    thrd_t thread;
    if (thrd_create(&thread, [](void *) { return recurse(0); }, nullptr) == thrd_success)
        thrd_join(thread, nullptr);
}

// A low limit, so that using it up is quick.
void useUpDescriptors()
{
    rlimit limit = {};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur > 256)
        limit.rlim_cur = 256;
    setrlimit(RLIMIT_NOFILE, &limit);
    while (dup(STDERR_FILENO) >= 0) {
    }
}

void writeThroughNullWithoutDescriptors()
{
    useUpDescriptors();
    writeThroughNull();
}

// A reconnect loop that leaks what it opens, the usual way a process runs
// out of descriptors.
void writeThroughNullWhileOpening()
{
    useUpDescriptors();
    static std::atomic<bool> refused{false};
    std::thread([] {
        for (;;) {
            if (open("/dev/null", O_RDONLY) < 0)
                refused = true;
        }
    }).detach();
    while (!refused) {
    }
    writeThroughNull();
}

size_t mappings()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll().count('\n') : 0;
}

// At once, so that none takes over the malloc arena another left, and on
// stacks of their own, which the C library neither maps nor keeps.
long mappingsLeftByThreadsEnding()
{
    static char stacks[16][256 * 1024];
    pthread_t thread;
    // The first to end loads what pthread_exit needs.
    if (pthread_create(&thread, nullptr, endWithoutUnwinding, nullptr) == 0)
        pthread_join(thread, nullptr);
    const size_t before = mappings();
    pthread_barrier_t allStarted;
    pthread_barrier_init(&allStarted, nullptr, 17);
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    std::vector<pthread_t> threads(16);
    for (size_t i = 0; i < threads.size(); ++i) {
        pthread_attr_setstack(&attributes, stacks[i], sizeof stacks[i]);
        pthread_create(&threads[i], &attributes, endWithoutUnwinding, &allStarted);
    }
    pthread_barrier_wait(&allStarted);
    for (pthread_t started : threads)
        pthread_join(started, nullptr);
    return static_cast<long>(mappings()) - static_cast<long>(before);
}

void throwOnThread()
{
    std::thread thread([] { throw std::runtime_error("nobody catches this"); });
    thread.join();
}

int act(const char *action, const char *argument)
{
    if (std::strcmp(action, "return") == 0)
        return argument ? std::atoi(argument) : 0;
    if (std::strcmp(action, "hold") == 0)
        runEventLoopUntilInputCloses();
    else if (std::strcmp(action, "null") == 0)
        writeThroughNull();
    else if (std::strcmp(action, "jump") == 0)
        jumpTo1234();
    else if (std::strcmp(action, "divide") == 0)
        return divideByZero();
    else if (std::strcmp(action, "overflow") == 0)
        return recurse(0);
    else if (std::strcmp(action, "overflow-thread") == 0)
        overflowOnThread();
    else if (std::strcmp(action, "overflow-c11-thread") == 0)
        overflowOnC11Thread();
    else if (std::strcmp(action, "null-no-descriptors") == 0)
        writeThroughNullWithoutDescriptors();
    else if (std::strcmp(action, "null-while-opening") == 0)
        writeThroughNullWhileOpening();
    else if (std::strcmp(action, "threads-end") == 0)
        std::fprintf(stderr, "mappings left by threads: %ld\n", mappingsLeftByThreadsEnding());
    else if (std::strcmp(action, "abort") == 0)
        std::abort();
    else if (std::strcmp(action, "throw") == 0)
        throw std::runtime_error("nobody catches this");
    else if (std::strcmp(action, "throw-thread") == 0)
        throwOnThread();
    return 0;
}

// The loader runs this with its lock held, as it runs every static
// constructor of a library it loads.
__attribute__((constructor)) void crashWhileLoadingIfAsked(int argc, char **argv, char **)
{
    if (argc > 1 && std::strcmp(argv[1], "null-while-loading") == 0)
        writeThroughNull();
}

} // namespace

extern "C" __attribute__((visibility("default"))) int Run(int argc, char **argv)
{
    std::printf("Run called:");
    for (int i = 1; i < argc; ++i)
        std::printf(" %s", argv[i]);
    std::printf("\n");
    std::fflush(stdout);
    if (argc < 2)
        return 0;
    char action[64] = {};
    std::strncpy(action, argv[1], sizeof action - 1);
    if (char *suffix = std::strstr(action, "-after-line")) {
        *suffix = '\0';
        char line[256];
        if (!std::fgets(line, sizeof line, stdin))
            return 0;
    }
    return act(action, argc > 2 ? argv[2] : nullptr);
}
