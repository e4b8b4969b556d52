#pragma once

#include <QObject>
#include <QStringList>

namespace platform {
class ChildJob;
}

// Runs one child program that cannot outlive its runner: killing the runner,
// deleting it or ending the runner's process ends the child and everything
// the child started in its process group. Start it from the main thread.
class XExeProcess : public QObject
{
    Q_OBJECT

public:
    explicit XExeProcess(bool showWindow, QObject *parent = nullptr);
    ~XExeProcess() override;

    // args[0] is the program, the rest its arguments, passed on as a list.
    // Fails at once when the runner is busy or the program cannot be run.
    bool start(const QStringList &args);
    bool stop();
    bool kill();
    bool isRunning();
    bool isIdle() const;
    qint64 processHandle() const;
    int waitForExit(int milliseconds);

signals:
    void finished();

public slots:
    void verifyProcess();

private:
    // The child's windows are its own business on X11; kept because the
    // runner is created with it.
    bool showWindow;
    platform::ChildJob *job = nullptr;
};
