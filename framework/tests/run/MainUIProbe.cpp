// A module whose "MainUIService" reports on the debug log what the
// framework does with it: which calls arrive, on which thread, what the
// context holds, which events reach it and which event data is released.
// The environment of the process chooses the behaviour under test.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QThread>

#include <atomic>

#include "CModuleBase.h"
#include "CServiceBase.h"
#include "IEventData.h"
#include "IMainUIService.h"

namespace {

void record(const QString &line)
{
    qDebug().noquote() << "probe:" << line;
}

bool onCallingThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

class ProbeEventData : public IEventData
{
public:
    explicit ProbeEventData(const QString &name) : m_name(name) {}
    void Release() override
    {
        record("release " + m_name);
        delete this;
    }
    QString m_name;
};

class ProbeMainUIService : public CServiceBase<IMainUIService>
{
public:
    bool Initialize(IApplicationContext *context) override
    {
        if (qEnvironmentVariableIsSet("PROBE_FAIL_INITIALIZE")) {
            record("Initialize refused");
            return false;
        }
        record("Initialize");
        return CServiceBase::Initialize(context);
    }

    // The framework is stopping by now: the event is refused.
    void Uninitialize() override
    {
        record("Uninitialize");
        if (m_pContext && qEnvironmentVariableIsSet("PROBE_FIRE_ON_EXIT"))
            m_pContext->FireEvent(2, new ProbeEventData("late"), true, true);
        CServiceBase::Uninitialize();
    }

    void StartMainUI() override
    {
        record(onCallingThread() ? "StartMainUI on calling thread" : "StartMainUI on another thread");
        RecordValues();
    }

    void RunMainUI() override
    {
        record(onCallingThread() ? "RunMainUI on calling thread" : "RunMainUI on another thread");
        if (qEnvironmentVariableIsSet("PROBE_QUEUE_EVENTS"))
            LeaveEventsQueued();
    }

    // The first event holds the event thread until the framework asks it to
    // stop, so the events fired after it are certainly still queued then.
    void HandleEvent(int eventId, IEventData *data) override
    {
        const QString name = data ? static_cast<ProbeEventData *>(data)->m_name : QStringLiteral("null");
        record(QString("handle event %1 %2").arg(eventId).arg(name));
        if (eventId != 1)
            return;
        m_firstEventArrived = true;
        QDeadlineTimer deadline(20000);
        while (!QThread::currentThread()->isInterruptionRequested() && !deadline.hasExpired())
            QThread::msleep(5);
    }

private:
    void RecordValues()
    {
        QString ui, path;
        int row = -1, col = -1, scan = -1;
        double cutter = -1, x = -1, y = -1;
        const bool all = m_pContext->GetString("CmdLineUI", &ui)
            && m_pContext->GetInt("CmdLineStitchSubPhotoRow", &row)
            && m_pContext->GetInt("CmdLineStitchSubPhotoCol", &col)
            && m_pContext->GetInt("CmdLineStitchSubPhotoScanType", &scan)
            && m_pContext->GetDouble("CmdLineStitchSubPhotoCurtterDiameter", &cutter)
            && m_pContext->GetDouble("CmdLineStitchSubPhotoMM2PixelScaleX", &x)
            && m_pContext->GetDouble("CmdLineStitchSubPhotoMM2PixelScaleY", &y)
            && m_pContext->GetString("CmdLineStitchSubPhotoPath", &path);
        // The path goes out as hexadecimal UTF-8 so that the log's own text
        // encoding cannot alter what is compared.
        record(QString("values%1 ui=%2 row=%3 col=%4 scan=%5 cutter=%6 x=%7 y=%8 path=%9 modified=%10")
                   .arg(all ? "" : " incomplete", ui)
                   .arg(row).arg(col).arg(scan).arg(cutter).arg(x).arg(y)
                   .arg(QString::fromLatin1(path.toUtf8().toHex()))
                   .arg(m_pContext->IsModified() ? "true" : "false"));
    }

    void LeaveEventsQueued()
    {
        m_pContext->FireEvent(1, new ProbeEventData("first"), true, false);
        QDeadlineTimer deadline(20000);
        while (!m_firstEventArrived && !deadline.hasExpired())
            QThread::msleep(5);
        m_pContext->FireEvent(2, new ProbeEventData("second"), true, false);
        m_pContext->FireEvent(3, new ProbeEventData("third"), true, false);
        record("RunMainUI returns");
    }

    std::atomic<bool> m_firstEventArrived{false};
};

IService *createMainUIService()
{
    return new ProbeMainUIService;
}

class ProbeModule : public CModuleBase<IModule>
{
public:
    ProbeModule() : CModuleBase(nullptr) {}
    ServiceEntry *GetServiceTable() override
    {
        static ServiceEntry table[] = {
            {QStringLiteral("MainUIService"), nullptr, &createMainUIService},
            {QString(), nullptr, nullptr},
        };
        return table;
    }
};

ProbeModule theModule;

} // namespace

MODULE_EXPORT IModule *GetModuleObject()
{
    return &theModule;
}
