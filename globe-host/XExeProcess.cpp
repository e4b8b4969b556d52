#include "XExeProcess.h"

#include "platform/ChildJob.h"

XExeProcess::XExeProcess(bool showWindow, QObject *parent)
    : QObject(parent)
    , showWindow(showWindow)
{
}

XExeProcess::~XExeProcess()
{
    kill();
}

bool XExeProcess::start(const QStringList &args)
{
    if (!isIdle())
        return false;
    job = new platform::ChildJob(this);
    if (!job->start(args)) {
        kill();
        return false;
    }
    // Queued: verifyProcess() deletes the job, which must not happen inside
    // the job's own notification.
    connect(job, &platform::ChildJob::ended, this, &XExeProcess::verifyProcess,
            Qt::QueuedConnection);
    return true;
}

bool XExeProcess::stop()
{
    return kill();
}

bool XExeProcess::kill()
{
    delete job;
    job = nullptr;
    return true;
}

bool XExeProcess::isRunning()
{
    return job && !job->hasEnded();
}

bool XExeProcess::isIdle() const
{
    return !job;
}

qint64 XExeProcess::processHandle() const
{
    return job ? job->processId() : -1;
}

int XExeProcess::waitForExit(int milliseconds)
{
    return job ? job->waitForExit(milliseconds) : -1;
}

void XExeProcess::verifyProcess()
{
    if (!job || !job->hasEnded())
        return;
    emit finished();
    kill();
}
