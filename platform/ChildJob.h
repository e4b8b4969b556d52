#pragma once

#include <QObject>
#include <QStringList>

class QSocketNotifier;

namespace platform {

// One child program whose life is tied to its runner: it runs in a process
// group of its own, the kernel kills it when the thread that started it ends,
// and killing the job kills the whole group. Start it from the main thread,
// since the death signal follows the thread that forked, not the process.
class ChildJob : public QObject
{
    Q_OBJECT

public:
    // What exitCode() gives while the child still runs; callers of the
    // runner have always compared against this value.
    static constexpr int stillActive = 259;

    explicit ChildJob(QObject *parent = nullptr);
    ~ChildJob() override;

    // Starts arguments[0] with the whole list as its argv. Fails, leaving
    // nothing behind, when a child is held already or exec fails.
    bool start(const QStringList &arguments);
    // Kills the child's whole process group and reaps the child.
    void kill();

    bool holdsChild() const;
    bool hasEnded();
    qint64 processId() const;
    // Waits up to the given time for the child; its exit status (128 plus
    // the signal number when a signal ended it), stillActive while it runs,
    // -1 without a child.
    int waitForExit(int milliseconds);

signals:
    // Emitted once, as soon as the child has ended.
    void ended();

private:
    void onPidfdReadable();
    bool collectStatus();
    void release();

    int pid = -1;
    int pidfd = -1;
    int status = stillActive;
    bool endReported = false;
    QSocketNotifier *notifier = nullptr;
};

} // namespace platform
