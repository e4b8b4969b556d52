#include <QDeadlineTimer>
#include <QMutex>
#include <QTest>
#include <QThread>

#include <atomic>
#include <functional>

#include "CDataObjectBase.h"
#include "CEventManager.h"
#include "CServiceBase.h"
#include "ConfigFolder.h"
#include "IApplicationContext.h"
#include "IEventData.h"
#include "LogCapture.h"
#include "MutexLocker.h"

namespace {

// Numbers with several consumers, a consumer listed twice, items without a
// usable id (event 0), a consumer that cannot be had, and the services that
// fire or hold up events.
const char standardEvents[] = R"(<?xml version="1.0"?>
<Config>
    <Events>
        <Event id="1" service="First"/>
        <Event id="1" service="Second"/>
        <Event id="2" service="Second"/>
        <Event id="2" service="First"/>
        <Event id="3" service="First"/>
        <Event id="3" service="First"/>
        <Event service="Second"/>
        <Event id="x" service="First"/>
        <Event id="4" service="Absent"/>
        <Event id="4" service="Second"/>
        <Event id="6" service="Blocker"/>
        <Event id="7" service="Relay"/>
        <Event id="8" service="Second"/>
        <Event id="9" service="First"/>
    </Events>
</Config>
)";

const char notReady[] = "event manager is not in a ready status, event will not be fired";

// What happened, in order, and on which thread.
class Journal
{
public:
    void add(const QString &entry)
    {
        MutexLocker locker(&m_mutex);
        m_entries << entry;
        m_threads << QThread::currentThread();
    }
    QStringList entries() const
    {
        MutexLocker locker(&m_mutex);
        return m_entries;
    }
    // The entries once there are at least count of them, or after ten
    // seconds, whichever comes first.
    QStringList waitFor(int count) const
    {
        QDeadlineTimer deadline(10000);
        while (entries().size() < count && !deadline.hasExpired())
            QTest::qWait(5);
        return entries();
    }
    QList<QThread *> threads() const
    {
        MutexLocker locker(&m_mutex);
        return m_threads;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_entries;
    QList<QThread *> m_threads;
};

class TaggedData : public IEventData
{
public:
    TaggedData(Journal *journal, const QString &tag) : m_journal(journal), m_tag(tag) {}
    void Release() override
    {
        ++releases;
        m_journal->add("release " + m_tag);
        if (onRelease)
            onRelease();
    }
    QString tag() const { return m_tag; }

    std::atomic<int> releases{0};
    std::function<void()> onRelease;

private:
    Journal *m_journal;
    QString m_tag;
};

QString tagOf(IEventData *data)
{
    return data ? static_cast<TaggedData *>(data)->tag() : QStringLiteral("null");
}

class Consumer : public CServiceBase<IService>
{
public:
    Consumer(Journal *journal, const QString &name) : m_journal(journal) { SetName(name); }
    void HandleEvent(int eventId, IEventData *data) override
    {
        m_journal->add(QStringLiteral("%1 %2 %3").arg(m_strName).arg(eventId).arg(tagOf(data)));
    }

protected:
    Journal *m_journal;
};

class EventContext;

// Passes event 7 on: event 8 at once, event 9 through the queue with data
// of its own.
class Relay : public Consumer
{
public:
    Relay(Journal *journal, IApplicationContext *context, IEventData *relayed)
        : Consumer(journal, "Relay"), m_context(context), m_relayed(relayed)
    {
    }
    void HandleEvent(int eventId, IEventData *data) override
    {
        m_journal->add(QStringLiteral("Relay %1 begin").arg(eventId));
        m_context->FireEvent(8, data, false, true);
        m_context->FireEvent(9, m_relayed, true, true);
        m_journal->add(QStringLiteral("Relay %1 end").arg(eventId));
    }

private:
    IApplicationContext *m_context;
    IEventData *m_relayed;
};

// Holds the event thread until the thread is asked to stop, then tries to
// queue one more event.
class Blocker : public Consumer
{
public:
    Blocker(Journal *journal, IApplicationContext *context, IEventData *late)
        : Consumer(journal, "Blocker"), m_context(context), m_late(late)
    {
    }
    void HandleEvent(int eventId, IEventData *data) override
    {
        m_journal->add(QStringLiteral("Blocker %1 %2").arg(eventId).arg(tagOf(data)));
        QDeadlineTimer deadline(10000);
        while (!QThread::currentThread()->isInterruptionRequested() && !deadline.hasExpired())
            QThread::msleep(1);
        m_context->FireEvent(1, m_late, true, true);
    }

private:
    IApplicationContext *m_context;
    IEventData *m_late;
};

class EventContext : public CDataObjectBase<IApplicationContext>
{
public:
    EventContext()
        : first(&journal, "First"), second(&journal, "Second"), relay(&journal, this, &relayed),
          blocker(&journal, this, &late)
    {
    }

    IService *GetService(const QString &name, bool create) override
    {
        {
            MutexLocker locker(&m_requestsMutex);
            m_requests << QStringLiteral("%1 %2").arg(name).arg(create);
        }
        const QMap<QString, IService *> services{
            {"First", &first}, {"Second", &second}, {"Relay", &relay}, {"Blocker", &blocker}};
        return services.value(name);
    }
    bool HasService(const QString &) override { return false; }
    void FireEvent(int eventId, IEventData *data, bool async, bool create) override
    {
        events.FireEvent(eventId, data, async, create);
    }
    void ApplyServiceLife() override {}

    QStringList requests() const
    {
        MutexLocker locker(&m_requestsMutex);
        return m_requests;
    }

    int initialize(const QByteArray &eventXml = standardEvents)
    {
        if (!folder.write("Event.xml", eventXml))
            return -2;
        return events.Initialize(this, folder.path());
    }

    ConfigFolder folder;
    Journal journal;
    TaggedData relayed{&journal, "relayed"};
    TaggedData late{&journal, "late"};
    Consumer first;
    Consumer second;
    Relay relay;
    Blocker blocker;
    CEventManager events;

private:
    mutable QMutex m_requestsMutex;
    QStringList m_requests;
};

} // namespace

class EventManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void configurationFailures_data();
    void configurationFailures();
    void synchronousDeliveryInFileOrder_data();
    void synchronousDeliveryInFileOrder();
    void asynchronousDeliveryInPostingOrder();
    void asynchronousEventWithoutConsumer();
    void createFlagReachesEveryRequest_data();
    void createFlagReachesEveryRequest();
    void refusedWhenNotRunning_data();
    void refusedWhenNotRunning();
    void queuedEventsReleasedUndeliveredAtStop();
    void handlersFireFurtherEvents_data();
    void handlersFireFurtherEvents();
};

void EventManagerTest::configurationFailures_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("message");
    QTest::newRow("not XML") << QByteArray("<Events") << "read event config file failed";
    QTest::newRow("no Events") << QByteArray("<Config><Modules/></Config>") << "pEventSection == NULL";
    QTest::newRow("tag differs in case") << QByteArray("<Config><events/></Config>") << "pEventSection == NULL";
}

void EventManagerTest::configurationFailures()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, message);
    EventContext context;
    LogCapture log;
    QCOMPARE(context.initialize(xml), -1);
    QCOMPARE(log.messages().last(), message);

    context.events.Start();
    log.clear();
    TaggedData data(&context.journal, "d");
    context.FireEvent(1, &data, true, true);
    context.FireEvent(1, &data, false, true);
    QCOMPARE(log.messages(), (QStringList{notReady, notReady}));
    QCOMPARE(context.journal.entries(), QStringList{"release d"});
}

void EventManagerTest::synchronousDeliveryInFileOrder_data()
{
    QTest::addColumn<int>("eventId");
    QTest::addColumn<QStringList>("delivered");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("two consumers") << 1 << QStringList{"First 1 d", "Second 1 d"} << QStringList{};
    QTest::newRow("other order") << 2 << QStringList{"Second 2 d", "First 2 d"} << QStringList{};
    QTest::newRow("listed twice") << 3 << QStringList{"First 3 d", "First 3 d"} << QStringList{};
    QTest::newRow("no usable id") << 0 << QStringList{"Second 0 d", "First 0 d"} << QStringList{};
    QTest::newRow("consumer not available") << 4 << QStringList{"Second 4 d"} << QStringList{};
    QTest::newRow("no consumer") << 5 << QStringList{}
                                 << QStringList{"no consumer service for event id =  5"};
    QTest::newRow("negative, no consumer") << -1 << QStringList{}
                                           << QStringList{"no consumer service for event id =  -1"};
}

void EventManagerTest::synchronousDeliveryInFileOrder()
{
    QFETCH(int, eventId);
    QFETCH(QStringList, delivered);
    QFETCH(QStringList, messages);
    EventContext context;
    QCOMPARE(context.initialize(), 0);
    context.events.Start();

    TaggedData data(&context.journal, "d");
    LogCapture log;
    context.FireEvent(eventId, &data, false, true);
    QCOMPARE(context.journal.entries(), delivered);
    QCOMPARE(log.messages(), messages);
    for (QThread *thread : context.journal.threads())
        QCOMPARE(thread, QThread::currentThread());
    QCOMPARE(data.releases.load(), 0);
}

void EventManagerTest::asynchronousDeliveryInPostingOrder()
{
    EventContext context;
    QCOMPARE(context.initialize(), 0);
    context.events.Start();

    TaggedData d1(&context.journal, "d1");
    TaggedData d2(&context.journal, "d2");
    TaggedData d3(&context.journal, "d3");
    context.FireEvent(2, &d2, true, true);
    context.FireEvent(0, nullptr, true, true);
    context.FireEvent(1, &d1, true, true);
    context.FireEvent(3, &d3, true, true);

    const QStringList expected{"Second 2 d2", "First 2 d2", "release d2", "Second 0 null", "First 0 null",
                               "First 1 d1",  "Second 1 d1", "release d1", "First 3 d3",   "First 3 d3",
                               "release d3"};
    QCOMPARE(context.journal.waitFor(expected.size()), expected);
    const QList<QThread *> threads = context.journal.threads();
    QVERIFY(threads.first() != QThread::currentThread());
    QCOMPARE(threads.count(threads.first()), threads.size());

    context.events.Stop();
    for (TaggedData *data : {&d1, &d2, &d3})
        QCOMPARE(data->releases.load(), 1);
}

void EventManagerTest::asynchronousEventWithoutConsumer()
{
    EventContext context;
    QCOMPARE(context.initialize(), 0);
    context.events.Start();
    LogCapture log;

    TaggedData data(&context.journal, "d");
    context.FireEvent(5, &data, true, true);
    QTRY_COMPARE_WITH_TIMEOUT(data.releases.load(), 1, 10000);
    QCOMPARE(log.messages(), QStringList{"no consumer service for event id =  5"});
    context.events.Stop();
    QCOMPARE(data.releases.load(), 1);
    QCOMPARE(context.journal.entries(), QStringList{"release d"});
}

void EventManagerTest::createFlagReachesEveryRequest_data()
{
    QTest::addColumn<bool>("async");
    QTest::addColumn<bool>("create");
    QTest::newRow("sync, create") << false << true;
    QTest::newRow("sync, no create") << false << false;
    QTest::newRow("async, create") << true << true;
    QTest::newRow("async, no create") << true << false;
}

void EventManagerTest::createFlagReachesEveryRequest()
{
    QFETCH(bool, async);
    QFETCH(bool, create);
    EventContext context;
    QCOMPARE(context.initialize(), 0);
    context.events.Start();

    context.FireEvent(4, nullptr, async, create);
    const QStringList expected{QStringLiteral("Absent %1").arg(create), QStringLiteral("Second %1").arg(create)};
    QTRY_COMPARE_WITH_TIMEOUT(context.requests(), expected, 10000);
}

void EventManagerTest::refusedWhenNotRunning_data()
{
    QTest::addColumn<QString>("phase");
    QTest::addColumn<bool>("async");
    for (const char *phase : {"never initialised", "before Start", "after Stop", "after Uninitialize"}) {
        QTest::addRow("%s, sync", phase) << phase << false;
        QTest::addRow("%s, async", phase) << phase << true;
    }
}

void EventManagerTest::refusedWhenNotRunning()
{
    QFETCH(QString, phase);
    QFETCH(bool, async);
    EventContext context;
    if (phase != "never initialised")
        QCOMPARE(context.initialize(), 0);
    if (phase == "after Stop" || phase == "after Uninitialize") {
        context.events.Start();
        context.events.Stop();
    }
    if (phase == "after Uninitialize")
        context.events.Uninitialize();

    TaggedData data(&context.journal, "d");
    LogCapture log;
    context.FireEvent(1, &data, async, true);
    context.events.Stop();
    // A refused asynchronous event's data was handed over all the same.
    QCOMPARE(log.messages(), QStringList{notReady});
    QCOMPARE(context.journal.entries(), async ? QStringList{"release d"} : QStringList());
    QCOMPARE(data.releases.load(), async ? 1 : 0);
}

// Events queued behind one that holds the thread are released, in queue
// order and undelivered, when the thread stops; an event fired once
// stopping has begun, by a handler or by a release, is refused and its data
// released at once.
void EventManagerTest::queuedEventsReleasedUndeliveredAtStop()
{
    EventContext context;
    QCOMPARE(context.initialize(), 0);
    context.events.Start();

    TaggedData hold(&context.journal, "hold");
    TaggedData d1(&context.journal, "d1");
    TaggedData d2(&context.journal, "d2");
    TaggedData d3(&context.journal, "d3");
    context.FireEvent(6, &hold, true, true);
    QCOMPARE(context.journal.waitFor(1), QStringList{"Blocker 6 hold"});
    context.FireEvent(2, &d2, true, true);
    context.FireEvent(1, &d1, true, true);
    context.FireEvent(3, &d3, true, true);
    TaggedData echo(&context.journal, "echo");
    d1.onRelease = [&] { context.FireEvent(2, &echo, true, true); };

    LogCapture log;
    context.events.Stop();
    QCOMPARE(context.journal.entries(),
             (QStringList{"Blocker 6 hold", "release late", "release hold", "release d2", "release d1",
                          "release echo", "release d3"}));
    QCOMPARE(log.messages(), (QStringList{notReady, notReady}));
    for (TaggedData *data : {&hold, &d1, &d2, &d3, &context.late, &echo})
        QCOMPARE(data->releases.load(), 1);
}

void EventManagerTest::handlersFireFurtherEvents_data()
{
    QTest::addColumn<bool>("async");
    QTest::newRow("from the caller's thread") << false;
    QTest::newRow("from the event thread") << true;
}

void EventManagerTest::handlersFireFurtherEvents()
{
    QFETCH(bool, async);
    EventContext context;
    QCOMPARE(context.initialize(), 0);
    context.events.Start();

    TaggedData data(&context.journal, "d");
    context.FireEvent(7, &data, async, true);
    // The nested synchronous event arrives inside the handler; the queued
    // one after it, with its own data released once.
    QStringList expected{"Relay 7 begin", "Second 8 d", "Relay 7 end"};
    if (async)
        expected << "release d";
    expected << "First 9 relayed"
             << "release relayed";
    QCOMPARE(context.journal.waitFor(expected.size()), expected);
    const QList<QThread *> threads = context.journal.threads();
    QCOMPARE(threads.first() == QThread::currentThread(), !async);
    QVERIFY(threads.last() != QThread::currentThread());

    context.events.Stop();
    QCOMPARE(data.releases.load(), async ? 1 : 0);
    QCOMPARE(context.relayed.releases.load(), 1);
}

QTEST_GUILESS_MAIN(EventManagerTest)
#include "tst_EventManager.moc"
