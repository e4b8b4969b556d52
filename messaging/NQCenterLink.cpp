#include "NQCenterLink.h"

#include "NQNames.h"
#include "NQThread.h"
#include "platform/Locate.h"
#include "platform/ProcessWatch.h"
#include "platform/StartDetached.h"

#include <QDebug>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <utility>

namespace {

// Waits for the start lock grow from the first to the longest: nodes that
// start together get through in turn at once, and a node behind a long hold
// looks at the lock twice a second at most.
constexpr int firstLockPauseMs = 10;
constexpr int longestLockPauseMs = 500;
// Pauses between attempts grow the same way while no center can be reached,
// and after a center that went soon after it was reached; a center that ran
// for longer is replaced at once.
constexpr int firstRetryPauseMs = 250;
constexpr int longestRetryPauseMs = 2000;

} // namespace

NQCenterLink::NQCenterLink(const QString &folder, QObject *parent)
    : QObject(parent)
    , serverPath(nqnames::meetingPath(folder, nqnames::centerServerName()))
    , lockFile(new QLockFile(nqnames::meetingPath(folder, nqnames::lockFileName())))
    , askTimer(new QTimer(this))
    , retryTimer(new QTimer(this))
    , retryPauseMs(firstRetryPauseMs)
{
    askTimer->setSingleShot(true);
    retryTimer->setSingleShot(true);
    connect(askTimer, &QTimer::timeout, this, &NQCenterLink::askCenter);
    connect(retryTimer, &QTimer::timeout, this, &NQCenterLink::connectCenter);
}

// The starter was told to stop, and drops its waits at once. Its last step
// is under the lock, and so is the user's wake-up: taking the lock here
// orders both before what they use goes (ThreadSanitizer sees no order in
// waiting for a thread through Qt).
NQCenterLink::~NQCenterLink()
{
    requestStop();
    if (starter) {
        starter->waitGone();
        { const std::lock_guard<std::mutex> ended(mutex); }
        delete starter;
    }
    delete lockFile;
    { const std::lock_guard<std::mutex> stopped(mutex); }
}

void NQCenterLink::requestStop()
{
    const std::lock_guard<std::mutex> locker(mutex);
    stopping = true;
    wake.notify_all();
}

void NQCenterLink::waitUntilJoined()
{
    std::unique_lock<std::mutex> locker(mutex);
    wake.wait(locker, [this] { return joined || stopping; });
}

void NQCenterLink::connectCenter()
{
    if (starter) {
        startAgain = true;
        return;
    }
    {
        const std::lock_guard<std::mutex> locker(mutex);
        if (stopping)
            return;
        decided = false;
        starterProcess = 0;
    }
    step = Step::Starting;
    starter = new NQThread([this] { startCenter(); });
    starter->start(QThread::InheritPriority);
}

// On the starter's thread. The lock keeps nodes that start together from
// starting the center all at once. It covers the start and the pause in
// which a new center reaches its listen, which ends as soon as the attempt
// is decided; not the rest of the wait for a center that is slow to come
// up: a lock held longer than its stale time is taken for a dead node's and
// removed by the next node, whose own lock the first would then remove in
// turn.
void NQCenterLink::startCenter()
{
    if (takeLock()) {
        const QString program = platform::programPath(nqnames::centerProgram());
        qint64 process = 0;
        if (!platform::startDetached(program, {}, &process))
            qWarning() << "NQCenterLink::startCenter start NQCenter.exe failed:" << program;
        pauseUntilDecided(process);
        lockFile->unlock();
    }
    const std::lock_guard<std::mutex> locker(mutex);
    QMetaObject::invokeMethod(this, "onStarterEnded", Qt::QueuedConnection);
}

// The server's thread asks for the center meanwhile, and says when the
// attempt is decided.
void NQCenterLink::pauseUntilDecided(qint64 process)
{
    std::unique_lock<std::mutex> locker(mutex);
    starterProcess = process;
    QMetaObject::invokeMethod(this, "onCenterStarted", Qt::QueuedConnection);
    wake.wait_for(locker, std::chrono::milliseconds(nqnames::centerStartPauseMs),
                  [this] { return decided || stopping; });
}

// False when the node stops first; the first look does not wait.
bool NQCenterLink::takeLock()
{
    for (int pauseMs = 0;; pauseMs = qBound(firstLockPauseMs, 2 * pauseMs, longestLockPauseMs)) {
        if (!pauseUnlessStopping(pauseMs))
            return false;
        if (lockFile->tryLock(0))
            return true;
    }
}

bool NQCenterLink::pauseUnlessStopping(int ms)
{
    std::unique_lock<std::mutex> locker(mutex);
    return !wake.wait_for(locker, std::chrono::milliseconds(ms), [this] { return stopping; });
}

void NQCenterLink::onCenterStarted()
{
    {
        const std::lock_guard<std::mutex> locker(mutex);
        startedProcess = starterProcess;
    }
    step = Step::Connecting;
    deadline.setRemainingTime(nqnames::centerConnectWaitMs);
    if (!socket) {
        socket = new QLocalSocket(this);
        connect(socket, &QLocalSocket::connected, this, &NQCenterLink::onCenterConnected);
    }
    askCenter();
}

void NQCenterLink::onStarterEnded()
{
    { const std::lock_guard<std::mutex> ended(mutex); }
    starter->waitGone();
    delete starter;
    starter = nullptr;
    // Stopped before it took the lock.
    if (step == Step::Starting)
        step = Step::Idle;
    if (std::exchange(startAgain, false))
        connectCenter();
}

// A local connect to a missing server fails at once, so the node asks again
// in steps while a center may still come.
void NQCenterLink::askCenter()
{
    if (socket->state() == QLocalSocket::UnconnectedState && !deadline.hasExpired())
        socket->connectToServer(serverPath, QIODevice::ReadWrite);
    // The outcome may have come within the call.
    if (step != Step::Connecting)
        return;
    if (deadline.hasExpired() || !centerMayCome()) {
        joinCenter(false);
        return;
    }
    askTimer->start(int(qMin<qint64>(deadline.remainingTime(), nqnames::centerRetryPauseMs)));
}

// A connection under way is a center that listens and has not accepted yet.
// The program this attempt started, while it runs, is a center on its way
// up: on a loaded machine that can take longer than the start pause. Once
// it has ended (another center ran, or it died) and nothing listens, there
// is nothing to wait for.
bool NQCenterLink::centerMayCome()
{
    return socket->state() == QLocalSocket::ConnectingState
           || (startedProcess > 0 && !platform::processEnded(startedProcess));
}

void NQCenterLink::onCenterConnected()
{
    if (step == Step::Connecting)
        joinCenter(true);
}

void NQCenterLink::joinCenter(bool reached)
{
    askTimer->stop();
    step = Step::Idle;
    startedProcess = 0;
    if (reached) {
        saidUnreached = false;
        connectedSince.start();
    } else {
        if (!std::exchange(saidUnreached, true))
            qWarning() << "NQCenterLink::joinCenter NQCenter not reached:" << socket->errorString();
        // Left unconnected: a connect still under way would otherwise be
        // taken up by the next attempt.
        socket->abort();
        retryAfterPause();
    }
    {
        const std::lock_guard<std::mutex> locker(mutex);
        decided = true;
        joined = true;
        wake.notify_all();
    }
    if (reached)
        emit centerReached(socket);
}

void NQCenterLink::retryAfterPause()
{
    step = Step::Pausing;
    retryTimer->start(retryPauseMs);
    retryPauseMs = qMin(2 * retryPauseMs, longestRetryPauseMs);
}

// The server closes the socket; the next attempt gets a new one.
void NQCenterLink::lost()
{
    socket->disconnect(this);
    socket = nullptr;
    if (connectedSince.elapsed() < longestRetryPauseMs) {
        retryAfterPause();
        return;
    }
    retryPauseMs = firstRetryPauseMs;
    connectCenter();
}
