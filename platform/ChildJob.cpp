#include "platform/ChildJob.h"

#include <QDebug>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace platform {

namespace {

// Only async-signal-safe calls between fork and exec: the parent may have
// other threads holding locks that the child would never see released.
[[noreturn]] void becomeChild(const char *path, char *const argv[], pid_t parent, int errorFd)
{
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the death signal was armed; then
    // nobody would ever kill us.
    if (getppid() != parent)
        _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(path, argv);
    const int error = errno;
    ssize_t written;
    do {
        written = write(errorFd, &error, sizeof error);
    } while (written < 0 && errno == EINTR);
    _exit(127);
}

// The error the child reported through the close-on-exec pipe, 0 when the
// pipe closed empty, which means exec succeeded.
int readExecError(int readFd)
{
    int error = 0;
    ssize_t got;
    do {
        got = read(readFd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? error : 0;
}

QString resolveProgram(const QString &program)
{
    // Searching PATH allocates, so it happens here rather than after fork.
    if (program.contains(QLatin1Char('/')))
        return program;
    return QStandardPaths::findExecutable(program);
}

} // namespace

ChildJob::ChildJob(QObject *parent)
    : QObject(parent)
{
}

ChildJob::~ChildJob()
{
    kill();
}

bool ChildJob::start(const QStringList &arguments)
{
    if (pid > 0 || arguments.isEmpty())
        return false;
    const QString program = resolveProgram(arguments.first());
    if (program.isEmpty())
        return false;

    std::vector<QByteArray> encoded;
    encoded.push_back(QFile::encodeName(program));
    for (int i = 1; i < arguments.size(); ++i)
        encoded.push_back(arguments.at(i).toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return false;
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0)
        becomeChild(argv[0], argv.data(), parent, errorPipe[1]);
    close(errorPipe[1]);
    if (child < 0) {
        close(errorPipe[0]);
        return false;
    }
    // Set from both sides so the group exists whichever side runs first.
    setpgid(child, child);
    const int execError = readExecError(errorPipe[0]);
    close(errorPipe[0]);
    if (execError != 0) {
        waitpid(child, nullptr, 0);
        return false;
    }

    const int fd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    if (fd < 0) {
        ::kill(-child, SIGKILL);
        waitpid(child, nullptr, 0);
        return false;
    }
    pid = child;
    pidfd = fd;
    status = stillActive;
    endReported = false;
    notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &ChildJob::onPidfdReadable);
    return true;
}

void ChildJob::kill()
{
    if (pid <= 0)
        return;
    // The child is reaped only here, so until then its id stays taken and
    // the group id cannot name somebody else's processes.
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    pid_t reaped;
    do {
        reaped = waitpid(pid, nullptr, 0);
    } while (reaped < 0 && errno == EINTR);
    release();
}

bool ChildJob::holdsChild() const
{
    return pid > 0;
}

bool ChildJob::hasEnded()
{
    return pid > 0 && collectStatus();
}

qint64 ChildJob::processId() const
{
    return pid;
}

int ChildJob::waitForExit(int milliseconds)
{
    if (pid <= 0)
        return -1;
    if (!collectStatus()) {
        pollfd watch{pidfd, POLLIN, 0};
        int ready;
        do {
            ready = poll(&watch, 1, milliseconds);
        } while (ready < 0 && errno == EINTR);
        collectStatus();
    }
    return status;
}

void ChildJob::onPidfdReadable()
{
    notifier->setEnabled(false);
    collectStatus();
    if (endReported)
        return;
    endReported = true;
    emit ended();
}

bool ChildJob::collectStatus()
{
    if (status != stillActive)
        return true;
    siginfo_t info{};
    // WNOWAIT leaves the child a zombie, keeping its id and its group's id
    // reserved until kill() reaps it.
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0
        || info.si_pid != pid)
        return false;
    status = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
    return true;
}

void ChildJob::release()
{
    delete notifier;
    notifier = nullptr;
    if (pidfd >= 0)
        close(pidfd);
    pidfd = -1;
    pid = -1;
    status = stillActive;
}

} // namespace platform
