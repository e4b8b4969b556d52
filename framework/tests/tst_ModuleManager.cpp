#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include "CDataObjectBase.h"
#include "CModuleManager.h"
#include "CallLog.h"
#include "ConfigFolder.h"
#include "IApplicationContext.h"
#include "IService.h"
#include "LogCapture.h"

namespace {

// Every kind of module entry the manager must cope with. Relative paths
// name libraries beside the test program; one is a bare name.
const char standardModules[] = R"(<?xml version="1.0"?>
<Config>
    <Modules>
        <Module name="Counting" path="libFwTestCounting.so"/>
        <Module name="Failing" path="FwTestFailing"/>
        <Module name="Good" path="libFwTestGood.so"/>
        <Module name="NoEntry" path="libFwTestNoEntry.so"/>
        <Module name="Missing" path="libFwTestMissing.so"/>
        <Module name="NoPath"/>
    </Modules>
    <Services>
        <Service name="LifeOne" life="1" module="Counting"/>
        <Service name="LifeTwo" life="2" module="Counting"/>
        <Service name="LifeThree" life="3" module="Counting"/>
        <Service name="LifeNone" module="Counting"/>
        <Service name="Refusing" module="Failing"/>
        <Service name="Plain" module="Good"/>
        <Service name="Unknown" module="Good"/>
        <Service name="Entryless" module="NoEntry"/>
        <Service name="Lost" module="Missing"/>
        <Service name="Pathless" module="NoPath"/>
        <Service name="Orphan" module="Nowhere"/>
    </Services>
</Config>
)";

class ModuleContext : public CDataObjectBase<IApplicationContext>
{
public:
    IService *GetService(const QString &name, bool create) override { return modules.GetService(name, create); }
    bool HasService(const QString &name) override { return modules.HasService(name); }
    void FireEvent(int, IEventData *, bool, bool) override {}
    void ApplyServiceLife() override { modules.ApplyServiceLife(); }

    CModuleManager modules;
};

// A context with its own folder holding its own Module.xml.
struct Station
{
    int initialize(const QByteArray &moduleXml = standardModules)
    {
        if (!folder.write("Module.xml", moduleXml))
            return -2;
        calllog::clear();
        return context.modules.Initialize(&context, folder.path());
    }

    ConfigFolder folder;
    ModuleContext context;
};

// Whether the library file is mapped into this process: what the dynamic
// loader really holds, whatever any library object believes.
bool isMapped(const QString &fileName)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return true;
    return maps.readAll().contains(QString("/" + fileName + "\n").toUtf8());
}

bool matchesAll(const QStringList &messages, const QStringList &patterns)
{
    if (messages.size() != patterns.size())
        return false;
    for (int i = 0; i < messages.size(); ++i) {
        if (!QRegularExpression("^" + patterns[i] + "$").match(messages[i]).hasMatch())
            return false;
    }
    return true;
}

QString describe(const QStringList &messages)
{
    return messages.isEmpty() ? QStringLiteral("(no messages)") : messages.join(QLatin1Char('\n'));
}

} // namespace

class ModuleManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void configurationFailures_data();
    void configurationFailures();
    void failedRequests_data();
    void failedRequests();
    void entrylessLibraryStaysUntilUninitialize();
    void failedLoadIsRetried();
    void loadsOnFirstRequestWithCreation();
    void refusedInitializeIsUndoneAndRetried();
    void serviceLife_data();
    void serviceLife();
    void serviceLifeLeavesUnloadedModulesAlone();
    void uninitializeReleasesInOrderThenUnloads();
    void uninitializeFreesServicesLeftUninitialized_data();
    void uninitializeFreesServicesLeftUninitialized();
    void servicesUseTheContextWhileReleased_data();
    void servicesUseTheContextWhileReleased();
    void concurrentFirstRequestsLoadOnce();
};

void ModuleManagerTest::configurationFailures_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("not XML") << QByteArray("Modules=Good")
                             << QStringList{"parse file failed at line .*", "read module config file failed"};
    QTest::newRow("no Modules") << QByteArray("<Config><Services/></Config>")
                                << QStringList{"pModuleSection == NULL"};
    QTest::newRow("no Services") << QByteArray("<Config><Modules/></Config>")
                                 << QStringList{"pServiceSection == NULL"};
    QTest::newRow("tags differ in case") << QByteArray("<Config><modules/><services/></Config>")
                                         << QStringList{"pModuleSection == NULL"};
}

void ModuleManagerTest::configurationFailures()
{
    QFETCH(QByteArray, xml);
    QFETCH(QStringList, messages);
    Station station;
    LogCapture log;
    QCOMPARE(station.initialize(xml), -1);
    QVERIFY2(matchesAll(log.messages(), messages), qPrintable(describe(log.messages())));
}

void ModuleManagerTest::failedRequests_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("stillMapped");

    QTest::newRow("service not listed")
        << "Nobody" << true << QStringList{"can't find the module which the service  \"Nobody\" belong to"}
        << "" << false;
    QTest::newRow("module not listed")
        << "Orphan" << true << QStringList{"can't find the module object by name  \"Nowhere\""} << "" << false;
    QTest::newRow("module without path") << "Pathless" << true << QStringList{"module path is empty!"} << ""
                                         << false;
    QTest::newRow("library missing")
        << "Lost" << true << QStringList{"load library failed:  \".*libFwTestMissing\\.so.*\""}
        << "libFwTestMissing.so" << false;
    QTest::newRow("no entry point")
        << "Entryless" << true << QStringList{"get the function address of module object creator failed"}
        << "libFwTestNoEntry.so" << true;
    QTest::newRow("service unknown to its module")
        << "Unknown" << true << QStringList{"query service failed:  \"Unknown\""} << "libFwTestGood.so" << true;
    QTest::newRow("initialize refused")
        << "Refusing" << true << QStringList{"initialize service failed:  \"Refusing\""} << "libFwTestFailing.so"
        << true;
    QTest::newRow("not loaded, no creation") << "Plain" << false << QStringList{} << "libFwTestGood.so" << false;
}

void ModuleManagerTest::failedRequests()
{
    QFETCH(QString, service);
    QFETCH(bool, create);
    QFETCH(QStringList, messages);
    QFETCH(QString, library);
    QFETCH(bool, stillMapped);

    Station station;
    QCOMPARE(station.initialize(), 0);
    station.context.SetBool("refuse", true);
    LogCapture log;
    QVERIFY(!station.context.GetService(service, create));
    QVERIFY2(matchesAll(log.messages(), messages), qPrintable(describe(log.messages())));
    if (!library.isEmpty())
        QCOMPARE(isMapped(library), stillMapped);

    station.context.modules.Uninitialize();
    if (!library.isEmpty())
        QVERIFY(!isMapped(library));
}

void ModuleManagerTest::entrylessLibraryStaysUntilUninitialize()
{
    Station station;
    QCOMPARE(station.initialize(), 0);
    LogCapture log;
    QVERIFY(!station.context.GetService("Entryless", true));
    log.clear();

    QVERIFY(!station.context.GetService("Entryless", true));
    QVERIFY(!station.context.GetService("Entryless", false));
    QVERIFY(!station.context.HasService("Entryless"));
    QCOMPARE(log.count("invalid module handle, maybe not initialized"), 3);
    QCOMPARE(log.messages().size(), 3);
    QVERIFY(isMapped("libFwTestNoEntry.so"));

    station.context.modules.Uninitialize();
    QVERIFY(!isMapped("libFwTestNoEntry.so"));
}

void ModuleManagerTest::failedLoadIsRetried()
{
    Station station;
    const QString late = station.folder.filePath("libFwTestLate.so");
    const QByteArray xml = QStringLiteral(R"(<Config>
        <Modules><Module name="Late" path="%1"/></Modules>
        <Services><Service name="Plain" module="Late"/></Services>
    </Config>)").arg(late).toUtf8();
    QCOMPARE(station.initialize(xml), 0);

    LogCapture log;
    QVERIFY(!station.context.GetService("Plain", true));
    QVERIFY(!station.context.GetService("Plain", true));
    QCOMPARE(log.messages().filter(QRegularExpression("^load library failed:  \".+\"$")).size(), 2);

    QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/libFwTestGood.so", late));
    QVERIFY(station.context.GetService("Plain", true));
    QVERIFY(isMapped("libFwTestLate.so"));
    station.context.modules.Uninitialize();
    QVERIFY(!isMapped("libFwTestLate.so"));
}

void ModuleManagerTest::loadsOnFirstRequestWithCreation()
{
    Station station;
    QCOMPARE(station.initialize(), 0);
    LogCapture log;

    QVERIFY(!station.context.GetService("LifeOne", false));
    QVERIFY(!station.context.HasService("LifeOne"));
    QVERIFY(!isMapped("libFwTestCounting.so"));
    QCOMPARE(calllog::entries(), QStringList());

    IService *first = station.context.GetService("LifeOne", true);
    QVERIFY(first);
    QVERIFY(first->IsInitialized());
    QVERIFY(isMapped("libFwTestCounting.so"));
    QCOMPARE(calllog::entries(), (QStringList{"Counting GetModuleObject", "LifeOne Initialize"}));

    QCOMPARE(station.context.GetService("LifeOne", true), first);
    QCOMPARE(station.context.GetService("LifeOne", false), first);
    QVERIFY(station.context.HasService("LifeOne"));
    QVERIFY(!station.context.HasService("LifeTwo"));
    QVERIFY(!station.context.GetService("LifeTwo", false));
    QCOMPARE(calllog::entries(), (QStringList{"Counting GetModuleObject", "LifeOne Initialize"}));
    // Only the request for a service its loaded module has not created says so.
    QCOMPARE(log.messages(), QStringList{"query service failed:  \"LifeTwo\""});
}

void ModuleManagerTest::refusedInitializeIsUndoneAndRetried()
{
    Station station;
    QCOMPARE(station.initialize(), 0);
    station.context.SetBool("refuse", true);
    QVERIFY(!station.context.GetService("Refusing", true));
    QCOMPARE(calllog::entries(), (QStringList{"Refusing Initialize", "Refusing Uninitialize"}));

    // The instance stays with its module, not handed out without creation.
    QVERIFY(station.context.HasService("Refusing"));
    QVERIFY(!station.context.GetService("Refusing", false));

    station.context.SetBool("refuse", false);
    IService *service = station.context.GetService("Refusing", true);
    QVERIFY(service);
    QCOMPARE(calllog::entries(),
             (QStringList{"Refusing Initialize", "Refusing Uninitialize", "Refusing Initialize"}));
}

void ModuleManagerTest::serviceLife_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<bool>("initialized");

    QTest::newRow("life 1") << "LifeOne"
                            << QStringList{"Counting UninitializeService LifeOne", "LifeOne Uninitialize"} << true
                            << false;
    QTest::newRow("life 2") << "LifeTwo"
                            << QStringList{"Counting ReleaseService LifeTwo", "LifeTwo Uninitialize",
                                           "LifeTwo Release"}
                            << false << false;
    QTest::newRow("life 3") << "LifeThree" << QStringList{} << true << true;
    QTest::newRow("no life") << "LifeNone" << QStringList{} << true << true;
}

void ModuleManagerTest::serviceLife()
{
    QFETCH(QString, service);
    QFETCH(QStringList, calls);
    QFETCH(bool, kept);
    QFETCH(bool, initialized);

    Station station;
    QCOMPARE(station.initialize(), 0);
    IService *before = nullptr;
    for (const char *name : {"LifeOne", "LifeTwo", "LifeThree", "LifeNone"}) {
        IService *created = station.context.GetService(name, true);
        QVERIFY(created);
        if (service == name)
            before = created;
    }
    calllog::clear();

    station.context.ApplyServiceLife();
    QCOMPARE(calllog::entries().filter(service), calls);
    QCOMPARE(station.context.HasService(service), kept);
    QCOMPARE(station.context.GetService(service, false), initialized ? before : nullptr);

    calllog::clear();
    IService *after = station.context.GetService(service, true);
    QVERIFY(after);
    if (kept)
        QCOMPARE(after, before);
    QCOMPARE(calllog::count(service + " Initialize"), initialized ? 0 : 1);
}

void ModuleManagerTest::serviceLifeLeavesUnloadedModulesAlone()
{
    Station station;
    QCOMPARE(station.initialize(), 0);
    station.context.ApplyServiceLife();
    QCOMPARE(calllog::entries(), QStringList());
    QVERIFY(!isMapped("libFwTestCounting.so"));
}

void ModuleManagerTest::uninitializeReleasesInOrderThenUnloads()
{
    Station station;
    QCOMPARE(station.initialize(R"(<Config>
        <Modules>
            <Module name="Failing" path="libFwTestFailing.so"/>
            <Module name="Good" path="libFwTestGood.so"/>
            <Module name="Counting" path="libFwTestCounting.so"/>
        </Modules>
        <Services>
            <Service name="LifeTwo" module="Counting"/>
            <Service name="Refusing" module="Failing"/>
            <Service name="LifeNone" module="Counting"/>
            <Service name="LifeOne" module="Counting"/>
        </Services>
    </Config>)"),
             0);
    for (const char *name : {"LifeOne", "Refusing", "LifeTwo"})
        QVERIFY(station.context.GetService(name, true));
    QVERIFY(isMapped("libFwTestCounting.so"));
    QVERIFY(isMapped("libFwTestFailing.so"));
    calllog::clear();

    station.context.modules.Uninitialize();
    // Listed services are released through their module whether they were
    // created or not; each library goes only after its services.
    QCOMPARE(calllog::entries(), (QStringList{
                                     "Failing ReleaseService Refusing",
                                     "Refusing Uninitialize",
                                     "Refusing Release",
                                     "Failing unloaded",
                                     "Counting ReleaseService LifeTwo",
                                     "LifeTwo Uninitialize",
                                     "LifeTwo Release",
                                     "Counting ReleaseService LifeNone",
                                     "Counting ReleaseService LifeOne",
                                     "LifeOne Uninitialize",
                                     "LifeOne Release",
                                     "Counting unloaded",
                                 }));
    QVERIFY(!isMapped("libFwTestCounting.so"));
    QVERIFY(!isMapped("libFwTestFailing.so"));
    QVERIFY(!station.context.HasService("LifeOne"));
}

// An instance the module keeps uninitialised would outlive its library: the
// module frees it once its library goes, however often Module.xml lists it,
// and the framework never frees it behind the module's back.
void ModuleManagerTest::uninitializeFreesServicesLeftUninitialized_data()
{
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("module");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("listed");

    QTest::newRow("refused") << "Refusing" << "Failing" << true << 1;
    QTest::newRow("undone by its life") << "LifeOne" << "Counting" << false << 1;
    QTest::newRow("refused, listed twice") << "Refusing" << "Failing" << true << 2;
    QTest::newRow("undone by its life, listed twice") << "LifeOne" << "Counting" << false << 2;
}

void ModuleManagerTest::uninitializeFreesServicesLeftUninitialized()
{
    QFETCH(QString, service);
    QFETCH(QString, module);
    QFETCH(bool, refuse);
    QFETCH(int, listed);

    QByteArray xml(standardModules);
    for (int more = 1; more < listed; ++more) {
        xml.replace("</Services>", QStringLiteral("<Service name=\"%1\" life=\"1\" module=\"%2\"/></Services>")
                                       .arg(service, module).toUtf8());
    }
    Station station;
    QCOMPARE(station.initialize(xml), 0);
    station.context.SetBool("refuse", refuse);
    station.context.GetService(service, true);
    station.context.ApplyServiceLife();
    QVERIFY(station.context.HasService(service));
    QVERIFY(!station.context.GetService(service, false));
    calllog::clear();

    station.context.modules.Uninitialize();
    const QStringList calls = calllog::entries().filter(QRegularExpression(
        QStringLiteral("%1|^%2 unloaded$").arg(service, module)));
    QStringList expected;
    for (int entry = 0; entry < listed; ++entry)
        expected << module + " ReleaseService " + service;
    expected << module + " unloaded" << service + " Release";
    QCOMPARE(calls, expected);
}

// A service may ask the context for another while its module releases it at
// teardown: a module already unloaded has nothing to give and is not loaded
// again, nor is one that never was; one still loaded hands out what it has
// and makes nothing: a service of the asker's own module made now, after
// its own release, would stay initialised, never released, as its library
// goes.
void ModuleManagerTest::servicesUseTheContextWhileReleased_data()
{
    QTest::addColumn<QString>("asker");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("seen");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("module unloaded before") << "Refusing" << "LifeOne" << "null, hasn't" << QStringList{};
    QTest::newRow("module unloaded after") << "Refusing" << "Plain" << "got, has" << QStringList{};
    QTest::newRow("module never loaded") << "Refusing" << "Entryless" << "null, hasn't" << QStringList{};
    QTest::newRow("own module, released before")
        << "LifeTwo" << "LifeOne" << "null, hasn't" << QStringList{"query service failed:  \"LifeOne\""};
    QTest::newRow("own module, never created")
        << "LifeTwo" << "LifeThree" << "null, hasn't" << QStringList{"query service failed:  \"LifeThree\""};
    QTest::newRow("own module, released after") << "LifeOne" << "LifeTwo" << "got, has" << QStringList{};
}

void ModuleManagerTest::servicesUseTheContextWhileReleased()
{
    QFETCH(QString, asker);
    QFETCH(QString, asked);
    QFETCH(QString, seen);
    QFETCH(QStringList, messages);

    Station station;
    QCOMPARE(station.initialize(), 0);
    for (const char *name : {"LifeOne", "LifeTwo", "Refusing", "Plain"})
        QVERIFY(station.context.GetService(name, true));
    station.context.SetString(asker + " asks", asked);
    const int initialized = calllog::entries().filter(" Initialize").size();
    LogCapture log;

    station.context.modules.Uninitialize();
    QCOMPARE(calllog::entries().filter(" sees "), QStringList{asker + " sees " + asked + ": " + seen});
    QCOMPARE(calllog::count("Counting GetModuleObject"), 1);
    QCOMPARE(calllog::entries().filter(" Initialize").size(), initialized);
    QVERIFY2(log.messages() == messages, qPrintable(describe(log.messages())));
    QVERIFY(!isMapped("libFwTestNoEntry.so"));
}

// Threads released together ask for services of one unloaded module; the
// module must load once and each service initialise once. Repeated, since
// a race shows only now and then.
void ModuleManagerTest::concurrentFirstRequestsLoadOnce()
{
    const int threadCount = 8;
    for (int round = 0; round < 20; ++round) {
        Station station;
        QCOMPARE(station.initialize(), 0);
        std::atomic<bool> go{false};
        std::vector<IService *> got(threadCount, nullptr);
        std::vector<std::thread> threads;
        for (int i = 0; i < threadCount; ++i) {
            threads.emplace_back([&, i] {
                while (!go)
                    QThread::yieldCurrentThread();
                got[i] = station.context.GetService(i % 2 ? "LifeOne" : "LifeNone", true);
            });
        }
        go = true;
        for (std::thread &thread : threads)
            thread.join();

        for (int i = 2; i < threadCount; ++i)
            QCOMPARE(got[i], got[i % 2]);
        QVERIFY(got[0] && got[1] && got[0] != got[1]);
        QCOMPARE(calllog::count("Counting GetModuleObject"), 1);
        QCOMPARE(calllog::count("LifeOne Initialize"), 1);
        QCOMPARE(calllog::count("LifeNone Initialize"), 1);
    }
}

QTEST_GUILESS_MAIN(ModuleManagerTest)
#include "tst_ModuleManager.moc"
