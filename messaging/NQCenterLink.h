#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <mutex>

class QLocalSocket;
class QLockFile;
class QTimer;
class NQThread;

// A node's way to the center: starting the center program under the start
// lock, connecting to it, and trying again for as long as the node runs.
// Lives on the node server's thread; the server reads and closes the socket
// once the center is reached.
//
// Nothing that waits runs on the server's thread, so that the direct sockets
// keep flowing while a center is found: the start lock (whose taking writes
// through to the disk) and starting the program run on a short-lived thread
// of their own, and the connection is asked for in timed steps.
class NQCenterLink : public QObject
{
    Q_OBJECT
public:
    NQCenterLink(const QString &folder, QObject *parent);
    ~NQCenterLink() override;

    // From the user's thread: the starter drops its waits, and a user waiting
    // for the first attempt is let go.
    void requestStop();
    // From the user's thread: returns once the first attempt to reach a
    // center is over, reached or not, or the node stops.
    void waitUntilJoined();

    // Begins trying to reach a center, until one is reached.
    void connectCenter();
    // The reached center's socket closed; the server lets it go.
    void lost();

signals:
    // The socket is connected to the center; it stays the link's child.
    void centerReached(QLocalSocket *socket);

private:
    enum class Step { Idle, Starting, Connecting, Pausing };

    void startCenter();
    bool takeLock();
    void pauseUntilDecided(qint64 process);
    bool pauseUnlessStopping(int ms);
    Q_INVOKABLE void onCenterStarted();
    Q_INVOKABLE void onStarterEnded();
    void askCenter();
    bool centerMayCome();
    void onCenterConnected();
    void joinCenter(bool reached);
    void retryAfterPause();

    QString serverPath;
    QLockFile *lockFile;
    QLocalSocket *socket = nullptr;
    QTimer *askTimer;
    QTimer *retryTimer;
    QDeadlineTimer deadline;
    NQThread *starter = nullptr;
    Step step = Step::Idle;
    // An attempt asked for while the last one's starter was still ending.
    bool startAgain = false;
    // "Not reached" is said once until a center is reached again.
    bool saidUnreached = false;
    int retryPauseMs;
    QElapsedTimer connectedSince;
    // The center program this attempt started, while it may still come up.
    qint64 startedProcess = 0;

    // Between the server's thread, the starter and the user's thread.
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool joined = false;
    // The attempt is over, so the starter need not hold the lock any longer.
    bool decided = false;
    // The started program, handed to the server's thread.
    qint64 starterProcess = 0;
};
