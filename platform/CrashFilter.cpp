#include "platform/CrashFilter.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include "platform/SignalStacks.h"

extern char **environ;

namespace platform {
namespace {

// Status codes of Windows exception records. Users and support know crashes
// by these numbers, so the box and the log show them on every platform.
enum : uint32_t {
    accessViolation = 0xc0000005,
    stackOverflow = 0xc00000fd,
    illegalInstruction = 0xc000001d,
    privilegedInstruction = 0xc0000096,
    integerDivideByZero = 0xc0000094,
    integerOverflow = 0xc0000095,
    floatDivideByZero = 0xc000008e,
    floatInexactResult = 0xc000008f,
    floatInvalidOperation = 0xc0000090,
    floatOverflow = 0xc0000091,
    floatUnderflow = 0xc0000093,
    fatalApplicationExit = 0x40000015,
    uncaughtCppException = 0xe06d7363,
};
const uint32_t nonContinuable = 1;

// The values the filter logs, as an exception record would hold them. For an
// access violation the two parameters are the kind of access (0 read, 1
// write, 8 execute) and the address that was accessed.
struct CrashValues
{
    uint32_t code = 0;
    uint64_t address = 0;
    uint32_t flags = 0;
    uint32_t paramCount = 0;
    uint64_t params[2] = {};
};

const int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// How long the report waits for the unwinder, and the crashed process for
// the user to close the box, before it goes on.
const uint64_t backtraceTimeoutMs = 3000;
const uint64_t boxTimeoutMs = 10000;
// Faults this close to the stack pointer count as the stack overflowing: a
// frame's locals lie within it.
const uint64_t guardDistance = 64 * 1024;

// Prepared at install time: after a crash neither the heap nor Qt can be
// trusted.
char dumpFolder[PATH_MAX];
char boxProgram[PATH_MAX];
std::atomic_flag crashing = ATOMIC_FLAG_INIT;
// Held from install time: a process that used up its descriptors could
// otherwise open neither the report nor the memory map it copies.
int reservedDescriptor = -1;
int memoryMapDescriptor = -1;

// The offset from UTC on both sides of the local zone's next change of
// offset: the handler cannot read the zone's rules, and a report named with
// the offset of before a daylight-saving change would be named an hour off
// and sort out of time order. Two slots, so that the main thread can fill
// one while a crashing thread reads the other.
struct LocalOffsets
{
    int64_t changesAt = INT64_MAX;
    long before = 0;
    long after = 0;
};
LocalOffsets localOffsets[2];
std::atomic<int> currentLocalOffsets{0};
// What an uncaught exception was, filled in by the terminate handler, which
// unlike a signal handler may ask the C++ runtime.
char exceptionType[256];
char exceptionMessage[1024];

// Text built without the heap, for a crash handler.
class Text
{
public:
    Text &add(const char *s)
    {
        while (*s && length < sizeof buffer - 1)
            buffer[length++] = *s++;
        buffer[length] = '\0';
        return *this;
    }
    // Lower-case hexadecimal without prefix; leading zeros up to `digits`.
    Text &hex(uint64_t value, int digits = 1)
    {
        char digitsBuffer[17];
        int n = 0;
        do {
            digitsBuffer[n++] = "0123456789abcdef"[value & 0xf];
            value >>= 4;
        } while (value != 0 || n < digits);
        return addReversed(digitsBuffer, n);
    }
    Text &decimal(uint64_t value, int digits = 1)
    {
        char digitsBuffer[21];
        int n = 0;
        do {
            digitsBuffer[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 || n < digits);
        return addReversed(digitsBuffer, n);
    }
    const char *data() const { return buffer; }
    size_t size() const { return length; }

private:
    Text &addReversed(const char *digits, int n)
    {
        while (n > 0 && length < sizeof buffer - 1)
            buffer[length++] = digits[--n];
        buffer[length] = '\0';
        return *this;
    }
    char buffer[PATH_MAX + 128];
    size_t length = 0;
};

void writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<size_t>(written);
    }
}

void writeText(int fd, const Text &text)
{
    writeAll(fd, text.data(), text.size());
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
void civilFromDays(int64_t days, int64_t &year, unsigned &month, unsigned &day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

long utcOffsetAt(int64_t second)
{
    const LocalOffsets &offsets = localOffsets[currentLocalOffsets.load()];
    return second < offsets.changesAt ? offsets.before : offsets.after;
}

// "<folder>/dump_yyyy-MM-dd_hh.mm.ss.dmp" in local time.
Text dumpPath()
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t local = static_cast<int64_t>(now.tv_sec) + utcOffsetAt(now.tv_sec);
    const int64_t secondOfDay = ((local % 86400) + 86400) % 86400;
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays((local - secondOfDay) / 86400, year, month, day);
    Text path;
    path.add(dumpFolder).add("/dump_").decimal(static_cast<uint64_t>(year), 4).add("-");
    path.decimal(month, 2).add("-").decimal(day, 2).add("_");
    path.decimal(static_cast<uint64_t>(secondOfDay / 3600), 2).add(".");
    path.decimal(static_cast<uint64_t>(secondOfDay / 60 % 60), 2).add(".");
    path.decimal(static_cast<uint64_t>(secondOfDay % 60), 2).add(".dmp");
    return path;
}

uint32_t codeForSignal(int signal, int signalCode)
{
    switch (signal) {
    case SIGSEGV:
    case SIGBUS:
        return accessViolation;
    case SIGILL:
        return signalCode == ILL_PRVOPC ? privilegedInstruction : illegalInstruction;
    case SIGFPE:
        switch (signalCode) {
        case FPE_INTDIV: return integerDivideByZero;
        case FPE_INTOVF: return integerOverflow;
        case FPE_FLTDIV: return floatDivideByZero;
        case FPE_FLTOVF: return floatOverflow;
        case FPE_FLTUND: return floatUnderflow;
        case FPE_FLTRES: return floatInexactResult;
        default: return floatInvalidOperation;
        }
    default:
        return fatalApplicationExit;
    }
}

#if defined(__x86_64__)
uint64_t registerValue(const ucontext_t *context, int which)
{
    return static_cast<uint64_t>(context->uc_mcontext.gregs[which]);
}

// A fault right beside the stack pointer is the stack's guard page.
bool overflowedStack(const siginfo_t *info, const ucontext_t *context)
{
    const uint64_t stackPointer = registerValue(context, REG_RSP);
    const uint64_t faultAddress = reinterpret_cast<uintptr_t>(info->si_addr);
    const uint64_t distance =
        faultAddress > stackPointer ? faultAddress - stackPointer : stackPointer - faultAddress;
    return distance < guardDistance;
}

// Bits of the x86 page fault error code: 2 write, 16 instruction fetch.
uint64_t accessKind(const ucontext_t *context)
{
    const uint64_t error = registerValue(context, REG_ERR);
    return (error & 16) ? 8 : (error & 2) ? 1 : 0;
}

CrashValues valuesFromSignal(int signal, const siginfo_t *info, const ucontext_t *context)
{
    CrashValues values;
    values.code = codeForSignal(signal, info->si_code);
    if (signal == SIGSEGV && overflowedStack(info, context))
        values.code = stackOverflow;
    // Like an exception record, name the instruction that failed rather than
    // the data it touched; the data address is the second parameter.
    values.address = registerValue(context, REG_RIP);
    if (signal == SIGSEGV || signal == SIGBUS) {
        values.paramCount = 2;
        values.params[0] = accessKind(context);
        values.params[1] = reinterpret_cast<uintptr_t>(info->si_addr);
    }
    return values;
}
#else
CrashValues valuesFromSignal(int signal, const siginfo_t *info, const ucontext_t *)
{
    CrashValues values;
    values.code = codeForSignal(signal, info->si_code);
    values.address = reinterpret_cast<uintptr_t>(info->si_addr);
    return values;
}
#endif

// The four lines, as the debug stream would print a label and a string.
void logValues(const CrashValues &values)
{
    const char *labels[] = {"errCode: ", "errAddr: ", "errFlag: ", "errPara: "};
    const uint64_t numbers[] = {values.code, values.address, values.flags, values.paramCount};
    for (int i = 0; i < 4; ++i)
        writeText(STDERR_FILENO, Text().add(labels[i]).add(" \"").hex(numbers[i]).add("\"\n"));
}

void logException()
{
    if (exceptionType[0])
        writeText(STDERR_FILENO, Text().add("errType:  \"").add(exceptionType).add("\"\n"));
    if (exceptionMessage[0])
        writeText(STDERR_FILENO, Text().add("errWhat:  \"").add(exceptionMessage).add("\"\n"));
}

void writeException(int fd)
{
    if (exceptionType[0])
        writeText(fd, Text().add("errType: ").add(exceptionType).add("\n"));
    if (exceptionMessage[0])
        writeText(fd, Text().add("errWhat: ").add(exceptionMessage).add("\n"));
}

void writeValues(int fd, const CrashValues &values)
{
    writeText(fd, Text().add("errCode: ").hex(values.code).add("\n"));
    writeText(fd, Text().add("errAddr: ").hex(values.address).add("\n"));
    writeText(fd, Text().add("errFlag: ").hex(values.flags).add("\n"));
    writeText(fd, Text().add("errPara: ").hex(values.paramCount).add("\n"));
    for (uint32_t i = 0; i < values.paramCount; ++i)
        writeText(fd, Text().add("errParam[").decimal(i).add("]: ").hex(values.params[i]).add("\n"));
    writeException(fd);
    writeText(fd, Text().add("process: ").decimal(static_cast<uint64_t>(getpid()))
                      .add(" thread: ").decimal(static_cast<uint64_t>(syscall(SYS_gettid))).add("\n"));
}

void writeSignal(int fd, int signal, const siginfo_t *info)
{
    writeText(fd, Text().add("signal: ").decimal(static_cast<uint64_t>(signal))
                      .add(" code: ").decimal(static_cast<uint64_t>(static_cast<uint32_t>(info->si_code)))
                      .add(" address: ").hex(reinterpret_cast<uintptr_t>(info->si_addr)).add("\n"));
}

void writeRegisters(int fd, const ucontext_t *context)
{
#if defined(__x86_64__)
    static const char *const names[NGREG] = {
        "r8", "r9", "r10", "r11", "r12", "r13", "r14", "r15", "rdi", "rsi", "rbp", "rbx",
        "rdx", "rax", "rcx", "rsp", "rip", "eflags", "csgsfs", "err", "trapno", "oldmask", "cr2"};
    writeText(fd, Text().add("registers:\n"));
    for (int i = 0; i < NGREG; ++i) {
        const auto value = static_cast<uint64_t>(context->uc_mcontext.gregs[i]);
        writeText(fd, Text().add(names[i]).add(" ").hex(value, 16).add("\n"));
    }
#else
    (void)fd;
    (void)context;
#endif
}

uint64_t monotonicMs()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}

// Whether the child ended within the time. A crashed process cannot trust
// any helper to end: one that waits on a lock the crash left held would
// hold the crash up for ever.
bool waitForChild(pid_t child, uint64_t timeoutMs)
{
    const uint64_t deadline = monotonicMs() + timeoutMs;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR))
            return true;
        if (monotonicMs() >= deadline)
            return false;
        const timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

void writeBacktrace(int fd)
{
    writeText(fd, Text().add("backtrace:\n"));
    // The unwinder reads the code at every return address, so a crash that
    // jumped to a bad address faults it again. A child has the same stack
    // and, if it faults, dies alone. Only the bare addresses are written:
    // naming them asks the dynamic loader, whose lock the crash may hold
    // (a library's static constructor crashing while it is loaded), and the
    // memory map below names them just as well.
    const pid_t child = _Fork();
    if (child == 0) {
        void *frames[128];
        const int count = backtrace(frames, 128);
        for (int i = 0; i < count; ++i)
            writeText(fd, Text().hex(reinterpret_cast<uintptr_t>(frames[i])).add("\n"));
        _exit(0);
    }
    if (child > 0 && !waitForChild(child, backtraceTimeoutMs)) {
        kill(child, SIGKILL);
        waitForChild(child, backtraceTimeoutMs);
    }
}

// The map turns the addresses above into libraries and offsets.
void writeMemoryMap(int fd)
{
    writeText(fd, Text().add("memory map:\n"));
    // Opened at install time, it still shows the map as it is when read.
    if (memoryMapDescriptor < 0 || lseek(memoryMapDescriptor, 0, SEEK_SET) != 0)
        return;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(memoryMapDescriptor, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0)
            writeAll(fd, chunk, static_cast<size_t>(got));
    }
}

// Other threads run on, and one that retries open() in a loop takes a
// descriptor back the moment it is free. A table of this thread's own keeps
// the freed one for the report; where the system refuses that, the report
// still has the one just freed as its first chance.
void releaseReservedDescriptor()
{
    unshare(CLONE_FILES);
    if (reservedDescriptor >= 0)
        ::close(reservedDescriptor);
    reservedDescriptor = -1;
}

void writeReport(const CrashValues &values, int signal, const siginfo_t *info, const ucontext_t *context)
{
    releaseReservedDescriptor();
    const Text path = dumpPath();
    const int fd = ::open(path.data(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    writeValues(fd, values);
    if (info)
        writeSignal(fd, signal, info);
    if (context)
        writeRegisters(fd, context);
    writeBacktrace(fd);
    writeMemoryMap(fd);
    ::close(fd);
}

// So that the system can keep a real core file besides the report.
void raiseCoreLimit()
{
    rlimit limit = {};
    if (getrlimit(RLIMIT_CORE, &limit) != 0)
        return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_CORE, &limit);
}

// The box is a program of its own: a crashed process cannot safely run a
// user interface.
void showBox(const CrashValues &values)
{
    Text code;
    code.hex(values.code);
    Text address;
    address.hex(values.address);
    char *const argv[] = {boxProgram, const_cast<char *>(code.data()),
                          const_cast<char *>(address.data()), nullptr};
    const pid_t child = _Fork();
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // Only what the box needs: the crashed process's descriptors may be
        // all it was allowed, and its sockets are not the box's to hold.
        close_range(STDERR_FILENO + 1, ~0U, 0);
        execve(boxProgram, argv, environ);
        _exit(127);
    }
    // The box outlives the process when the user leaves it open: the
    // crashed process only holds up its core file and whoever waits for it.
    if (child > 0)
        waitForChild(child, boxTimeoutMs);
}

void handleCrash(const CrashValues &values, int signal, const siginfo_t *info, const ucontext_t *context)
{
    logValues(values);
    logException();
    writeReport(values, signal, info, context);
    raiseCoreLimit();
    showBox(values);
}

// Another thread crashed first and will end the process once its box closes.
[[noreturn]] void waitForTheFirstCrash()
{
    for (;;)
        pause();
}

void setDefaultAction(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

void onFatalSignal(int signal, siginfo_t *info, void *context)
{
    if (crashing.test_and_set())
        waitForTheFirstCrash();
    handleCrash(valuesFromSignal(signal, info, static_cast<ucontext_t *>(context)), signal, info,
                static_cast<ucontext_t *>(context));
    // The signal stays blocked until the handler returns; then the default
    // action ends the process with it, leaving a core where allowed.
    setDefaultAction(signal);
    raise(signal);
}

// Control characters would break the report's and the log's lines.
void copyText(char *target, size_t size, const char *text)
{
    size_t i = 0;
    for (; text[i] && i + 1 < size; ++i)
        target[i] = static_cast<unsigned char>(text[i]) < ' ' ? ' ' : text[i];
    target[i] = '\0';
}

// The type of the exception being handled, demangled where the runtime
// can, and its message when it is a standard exception. Nothing when
// terminate was called without one.
void describeCurrentException()
{
    const std::type_info *type = abi::__cxa_current_exception_type();
    if (!type)
        return;
    int status = 0;
    char *demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    copyText(exceptionType, sizeof exceptionType, demangled ? demangled : type->name());
    std::free(demangled);
    try {
        throw;
    } catch (const std::exception &exception) {
        copyText(exceptionMessage, sizeof exceptionMessage, exception.what());
    } catch (...) {
    }
}

[[noreturn]] void onTerminate()
{
    // A fault while reporting must end the process, not wait for itself.
    sigset_t fatal;
    sigemptyset(&fatal);
    for (int signal : fatalSignals)
        sigaddset(&fatal, signal);
    pthread_sigmask(SIG_BLOCK, &fatal, nullptr);
    if (crashing.test_and_set())
        waitForTheFirstCrash();
    describeCurrentException();
    CrashValues values;
    values.code = uncaughtCppException;
    values.address = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    values.flags = nonContinuable;
    handleCrash(values, SIGABRT, nullptr, nullptr);
    setDefaultAction(SIGABRT);
    abort();
}

void copyPath(char (&target)[PATH_MAX], const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const size_t size = std::min(static_cast<size_t>(encoded.size()), sizeof target - 1);
    std::memcpy(target, encoded.constData(), size);
    target[size] = '\0';
}

void reserveDescriptors()
{
    if (reservedDescriptor < 0)
        reservedDescriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (memoryMapDescriptor < 0)
        memoryMapDescriptor = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
}

long utcOffsetOf(time_t second)
{
    tm local = {};
    localtime_r(&second, &local);
    return local.tm_gmtoff;
}

// The first second after `from` with another offset than `from`, within a
// year and a bit; none when the zone keeps its offset that long. Offsets are
// taken to change at most once a day.
int64_t nextOffsetChange(int64_t from)
{
    const int64_t day = 86400;
    const long offset = utcOffsetOf(from);
    for (int64_t low = from, high = from + day; high <= from + 400 * day; low = high, high += day) {
        if (utcOffsetOf(high) == offset)
            continue;
        while (high - low > 1) {
            const int64_t middle = low + (high - low) / 2;
            (utcOffsetOf(middle) == offset ? low : high) = middle;
        }
        return high;
    }
    return INT64_MAX;
}

void refreshLocalOffsets()
{
    // The zone's rules may have been changed since they were last read.
    tzset();
    const int64_t now = time(nullptr);
    LocalOffsets &next = localOffsets[1 - currentLocalOffsets.load()];
    next.before = utcOffsetOf(now);
    next.changesAt = nextOffsetChange(now);
    next.after = next.changesAt == INT64_MAX ? next.before : utcOffsetOf(next.changesAt);
    currentLocalOffsets.store(1 - currentLocalOffsets.load());
}

// The offsets are good up to the change after next: the main thread's event
// loop renews them long before that.
void keepLocalOffsetsFresh()
{
    refreshLocalOffsets();
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return;
    auto *timer = new QTimer(application);
    QObject::connect(timer, &QTimer::timeout, refreshLocalOffsets);
    timer->start(std::chrono::hours(1));
}

void installHandler(int signal)
{
    struct sigaction action = {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    // A second fault inside the handler then ends the process at once
    // instead of entering the handler again.
    sigemptyset(&action.sa_mask);
    for (int fatal : fatalSignals)
        sigaddset(&action.sa_mask, fatal);
    sigaction(signal, &action, nullptr);
}

} // namespace

void installCrashFilter(const QString &folder, const QString &box)
{
    copyPath(dumpFolder, folder);
    copyPath(boxProgram, box);
    keepLocalOffsetsFresh();
    // The first backtrace loads the unwinder, which allocates: do it now.
    void *frame = nullptr;
    backtrace(&frame, 1);
    // A stack overflow leaves no room on the thread's own stack for the
    // handler, on whichever thread it happens.
    giveThisAndEveryNewThreadASignalStack();
    reserveDescriptors();
    for (int signal : fatalSignals)
        installHandler(signal);
    std::set_terminate(onTerminate);
}

} // namespace platform
