#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "IModule.h"
#include "IOptionDevCap.h"
#include "IOptionObject.h"
#include "IPrefstoreService.h"

// The module library as the framework meets it: loaded at run time, reached
// only through GetModuleObject and its interfaces.
class PrefstoreTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void moduleHandsOutOneServiceByName();
    void releaseLeavesUninitialisedServiceInPlace();
    void firstUserOptionsWriteTheDefaults();
    void existingUserFileIsNeverReplaced_data();
    void existingUserFileIsNeverReplaced();
    void descriptorsRunningOutLoseNoOptions_data();
    void descriptorsRunningOutLoseNoOptions();
    void uninitializeEmptiesButKeepsTheService();
    void appOptionsWithoutFileSaveBesideProgram();
    void capabilitiesLoadOnlyWhenAskedForAnother();

private:
    IPrefstoreService *createService();
    QString userOptionsPath() const;
    int countMessages(const std::function<void()> &action, const QString &prefix);

    QLibrary m_library;
    IModule *m_module = nullptr;
    QString m_besideProgram;
};

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList *capturedMessages = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedMessages->append(message);
}

// Runs action in a process that has used up its descriptors, as a leaking
// reconnect loop leaves it: none is free below the limit.
void withoutDescriptors(const std::function<void()> &action)
{
    struct rlimit saved;
    getrlimit(RLIMIT_NOFILE, &saved);
    const int lowestFree = ::open("/dev/null", O_RDONLY);
    ::close(lowestFree);
    struct rlimit usedUp = saved;
    usedUp.rlim_cur = lowestFree;
    setrlimit(RLIMIT_NOFILE, &usedUp);
    action();
    setrlimit(RLIMIT_NOFILE, &saved);
}

} // namespace

void PrefstoreTest::initTestCase()
{
    m_library.setFileName(QStringLiteral(STATION_BIN_DIR "/libPrefstore.so"));
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    auto getModule = reinterpret_cast<GetModuleObjectFunction>(m_library.resolve("GetModuleObject"));
    QVERIFY(getModule);
    m_module = getModule();
    QVERIFY(m_module);
    QCOMPARE(getModule(), m_module);

    // The service reads the capability table beside the running program.
    m_besideProgram = QCoreApplication::applicationDirPath();
    const QString table = m_besideProgram + "/DeviceCapabilities.xml";
    QFile::remove(table);
    QVERIFY(QFile::copy(QStringLiteral(STATION_TEST_DATA_DIR "/capabilities.xml"), table));
}

void PrefstoreTest::cleanupTestCase()
{
    QFile::remove(m_besideProgram + "/DeviceCapabilities.xml");
    QFile::remove(m_besideProgram + "/OptionsNewUI.xml");
}

void PrefstoreTest::cleanup()
{
    m_module->ReleaseAllServices();
    QDir(QFileInfo(userOptionsPath()).absolutePath()).removeRecursively();
}

IPrefstoreService *PrefstoreTest::createService()
{
    auto *service = static_cast<IPrefstoreService *>(m_module->QueryService("PrefstoreService", true));
    if (service && !service->IsInitialized())
        service->Initialize(nullptr);
    return service;
}

QString PrefstoreTest::userOptionsPath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/OptionsNewUI.xml";
}

int PrefstoreTest::countMessages(const std::function<void()> &action, const QString &prefix)
{
    QStringList messages;
    capturedMessages = &messages;
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    action();
    qInstallMessageHandler(previous);
    capturedMessages = nullptr;
    return messages.filter(QRegularExpression("^" + QRegularExpression::escape(prefix))).size();
}

void PrefstoreTest::moduleHandsOutOneServiceByName()
{
    QVERIFY(!m_module->QueryService("PrefstoreService", false));
    QVERIFY(!m_module->QueryService("", true));
    QVERIFY(!m_module->QueryService("prefstoreservice", true));
    QVERIFY(!m_module->HasService("PrefstoreService"));

    IService *created = m_module->QueryService("PrefstoreService", true);
    QVERIFY(created);
    QVERIFY(!created->IsInitialized());
    QCOMPARE(m_module->QueryService("PrefstoreService", true), created);
    QCOMPARE(m_module->QueryService("PrefstoreService", false), created);
    QVERIFY(m_module->HasService("PrefstoreService"));
}

void PrefstoreTest::releaseLeavesUninitialisedServiceInPlace()
{
    IService *created = m_module->QueryService("PrefstoreService", true);
    m_module->ReleaseService("PrefstoreService");
    m_module->ReleaseAllServices();
    QCOMPARE(m_module->QueryService("PrefstoreService", false), created);

    QVERIFY(created->Initialize(nullptr));
    m_module->ReleaseService("PrefstoreService");
    QVERIFY(!m_module->HasService("PrefstoreService"));
    QVERIFY(!m_module->QueryService("PrefstoreService", false));
}

void PrefstoreTest::firstUserOptionsWriteTheDefaults()
{
    const QString folder = QFileInfo(userOptionsPath()).absolutePath();
    QDir(folder).removeRecursively();

    IPrefstoreService *service = createService();
    IOptionObject *options = service->GetUserOptions();
    QVERIFY(QFileInfo::exists(userOptionsPath()));
    QCOMPARE(readAll(userOptionsPath()),
             readAll(QStringLiteral(STATION_TEST_DATA_DIR "/default-options.xml")));

    QCOMPARE(options->GetInt("ControlConfig", "MoveSpeed", -1), 10);
    QCOMPARE(options->GetInt("JoystickConfig", "Axes2", -1), 4);
    QCOMPARE(options->GetInt("JoystickConfig", "Button9", -1), 0);
    // The reverse flags are ints, so a bool read gives its default.
    QCOMPARE(options->GetBool("JoystickConfig", "PitchReverse", true), true);
    QCOMPARE(options->GetString("ConnectConfig", "LastURL", ""),
             QStringLiteral("rtsp://192.168.144.108:554"));
    QCOMPARE(options->GetInt("ConnectConfig", "LastURL", -1), -1);

    // Loaded once; the second call reads nothing.
    QCOMPARE(countMessages([service] { service->GetUserOptions(); }, "Filename = "), 0);
    QCOMPARE(service->GetUserOptions(), options);
}

void PrefstoreTest::existingUserFileIsNeverReplaced_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("broken") << QByteArray("<options><section name=\"A\">");
}

// An unreadable file goes aside whole, and the document starts from the
// defaults; a second one in the same second does not take the first one's
// place.
void PrefstoreTest::existingUserFileIsNeverReplaced()
{
    QFETCH(QByteArray, content);
    const QFileInfo user(userOptionsPath());
    QDir().mkpath(user.absolutePath());
    IPrefstoreService *service = createService();
    for (int time = 0; time < 2; ++time) {
        writeFile(userOptionsPath(), content);
        m_module->UninitializeService("PrefstoreService");
        QCOMPARE(service->GetUserOptions()->GetInt("ControlConfig", "MoveSpeed", -1), 10);
    }
    const QStringList aside = user.dir().entryList({user.fileName() + ".unreadable-*"}, QDir::Files);
    QCOMPARE(aside.size(), 2);
    for (const QString &name : aside)
        QCOMPARE(readAll(user.dir().filePath(name)), content);
}

void PrefstoreTest::descriptorsRunningOutLoseNoOptions_data()
{
    QTest::addColumn<bool>("fileThere");
    QTest::newRow("options file there") << true;
    QTest::newRow("no options file yet") << false;
}

// Neither the file nor the defaults can be opened: the file stays as it is,
// a change made meanwhile is not saved over it, and the next request reads
// it (or writes the defaults) once descriptors are free again.
void PrefstoreTest::descriptorsRunningOutLoseNoOptions()
{
    QFETCH(bool, fileThere);
    const QFileInfo user(userOptionsPath());
    QDir().mkpath(user.absolutePath());
    const QByteArray operators = readAll(QStringLiteral(STATION_TEST_DATA_DIR "/default-options.xml"))
                                     .replace("\"MoveSpeed\" type=\"0\">10", "\"MoveSpeed\" type=\"0\">33");
    if (fileThere)
        writeFile(userOptionsPath(), operators);

    IPrefstoreService *service = createService();
    IOptionObject *options = nullptr;
    withoutDescriptors([&] { options = service->GetUserOptions(); });
    options->SetInt("ControlConfig", "ZoomSpeed", 7);
    QVERIFY(!options->Save());
    QCOMPARE(user.dir().entryList({user.fileName() + "*"}), fileThere ? QStringList{user.fileName()} : QStringList());
    if (fileThere)
        QCOMPARE(readAll(userOptionsPath()), operators);
    QCOMPARE(service->GetUserOptions()->GetInt("ControlConfig", "MoveSpeed", -1), fileThere ? 33 : 10);
}

void PrefstoreTest::uninitializeEmptiesButKeepsTheService()
{
    IPrefstoreService *service = createService();
    service->GetUserOptions()->SetInt("ControlConfig", "MoveSpeed", 99);
    m_module->UninitializeService("PrefstoreService");
    QVERIFY(service->IsInitialized());
    QCOMPARE(m_module->QueryService("PrefstoreService", false), service);

    // The unsaved change is gone; the file is read again.
    int value = 0;
    QCOMPARE(countMessages([&] {
                 value = service->GetUserOptions()->GetInt("ControlConfig", "MoveSpeed", -1);
             }, "Filename = "), 1);
    QCOMPARE(value, 10);
}

void PrefstoreTest::appOptionsWithoutFileSaveBesideProgram()
{
    const QString path = m_besideProgram + "/OptionsNewUI.xml";
    QFile::remove(path);
    IPrefstoreService *service = createService();
    IOptionObject *options = service->GetAppOptions();
    QCOMPARE(options->GetString("Installation", "DeviceModel", "none"), QStringLiteral("none"));

    options->SetString("Installation", "DeviceModel", "Dual");
    QVERIFY(options->Save());
    QVERIFY(readAll(path).contains("<item name=\"DeviceModel\" type=\"2\">Dual</item>"));
}

void PrefstoreTest::capabilitiesLoadOnlyWhenAskedForAnother()
{
    IPrefstoreService *service = createService();
    auto load = [service](const QString &model) {
        return [service, model] { service->LoadDeviceCapabilities(model); };
    };
    QCOMPARE(countMessages(load("Dual"), "Filename = "), 1);
    QCOMPARE(service->GetDeviceCapabilities()->GetLensCount(), 2);
    QCOMPARE(countMessages(load("Dual"), "Filename = "), 0);
    QCOMPARE(countMessages(load("dual"), "Filename = "), 1);
    QCOMPARE(service->GetDeviceCapabilities()->GetLensCount(), 0);

    QString name;
    QCOMPARE(countMessages([&] { name = service->LoadDeviceCapabilitiesById(0xFF); }, "Filename = "), 1);
    QCOMPARE(name, QStringLiteral("Full"));
    QCOMPARE(countMessages([&] { name = service->LoadDeviceCapabilitiesById(0xFF); }, "Filename = "), 0);
    QCOMPARE(name, QStringLiteral("Full"));
    // An id the table does not list keeps the name loaded before.
    QCOMPARE(service->LoadDeviceCapabilitiesById(0x77), QStringLiteral("Full"));
}

QTEST_GUILESS_MAIN(PrefstoreTest)
#include "tst_prefstore.moc"
