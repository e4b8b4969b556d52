#include "CPrefstoreService.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamWriter>

#include "OptionXml.h"
#include "platform/Locate.h"

namespace {

const char optionsFileName[] = "OptionsNewUI.xml";
const char capabilitiesFileName[] = "DeviceCapabilities.xml";

// The gimbal ships on a private network of its own; the stream comes from
// the same address.
const char defaultGimbalAddress[] = "192.168.144.108";

const int maximumAsideAttempts = 100;

QString besideProgram(const char *fileName)
{
    return platform::programFolder() + QLatin1Char('/') + QLatin1String(fileName);
}

} // namespace

CPrefstoreService::CPrefstoreService()
    : m_userOptions(COptionObject::UserOptions)
    , m_appOptions(COptionObject::AppOptions)
{
}

CPrefstoreService::~CPrefstoreService() = default;

bool CPrefstoreService::Initialize(IApplicationContext *context)
{
    CServiceBase::Initialize(context);
    m_userOptions.Init(context, QString());
    m_appOptions.Init(context, QString());
    m_deviceCapabilities.SetContext(context);
    return true;
}

// Empties the documents and the table so they load again on demand. The
// service stays initialised with its context: the framework hands the same
// object out again without a new Initialize.
void CPrefstoreService::Uninitialize()
{
    m_userOptions.Clear();
    m_appOptions.Clear();
    m_deviceCapabilities.Reset();
}

IOptionObject *CPrefstoreService::GetUserOptions()
{
    if (m_userOptions.IsLoaded())
        return &m_userOptions;

    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/');
    QDir().mkpath(folder);
    const QString path = folder + QLatin1String(optionsFileName);
    // An existing file is never replaced: it may hold the operator's
    // settings. One that is no options document goes aside whole, and the
    // station goes on as if there had been none; one that cannot be opened
    // now stays, and the next request reads it again.
    if (!QFileInfo::exists(path) && !WriteDefaults(path))
        return &m_userOptions;
    if (!m_userOptions.Load(path) && m_userOptions.IsFileUnreadable() && SetAside(path) && WriteDefaults(path))
        m_userOptions.Load(path);
    return &m_userOptions;
}

IOptionObject *CPrefstoreService::GetAppOptions()
{
    if (!m_appOptions.IsLoaded())
        m_appOptions.Load(besideProgram(optionsFileName));
    return &m_appOptions;
}

void CPrefstoreService::LoadDeviceCapabilities(const QString &model)
{
    if (m_deviceCapabilities.IsLoaded() && m_deviceCapabilities.GetModelName() == model)
        return;
    m_deviceCapabilities.Reset();
    m_deviceCapabilities.LoadByModelName(besideProgram(capabilitiesFileName), model);
}

QString CPrefstoreService::LoadDeviceCapabilitiesById(int id)
{
    if (!m_deviceCapabilities.IsLoaded() || m_deviceCapabilities.GetModelId() != id) {
        m_deviceCapabilities.Reset();
        m_deviceCapabilities.LoadById(besideProgram(capabilitiesFileName), id);
    }
    return m_deviceCapabilities.GetModelName();
}

IOptionDevCap *CPrefstoreService::GetDeviceCapabilities()
{
    return &m_deviceCapabilities;
}

QString CPrefstoreService::GetDeviceModelName()
{
    return m_deviceCapabilities.GetModelName();
}

bool CPrefstoreService::SetAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh.mm.ss"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    for (int attempt = 1; attempt <= maximumAsideAttempts; ++attempt) {
        const QString aside = attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
        // A file set aside earlier in the same second keeps its name: rename
        // never replaces one.
        if (QFileInfo::exists(aside))
            continue;
        if (!QFile::rename(path, aside))
            break;
        qDebug() << "options file cannot be read, moved aside: " << path << " to " << aside;
        return true;
    }
    qDebug() << "options file cannot be read nor moved aside, it is kept and not saved over: " << path;
    return false;
}

// Without the defaults on disk a load would find no file, and the next Save
// would write only what was set since: the document stays unloaded instead,
// and the next request tries again.
bool CPrefstoreService::WriteDefaults(const QString &path)
{
    if (WriteDefaultOptions(path))
        return true;
    qDebug() << "CPrefstoreService::WriteDefaults: default options cannot be written: " << path;
    return false;
}

bool CPrefstoreService::WriteDefaultOptions(const QString &path)
{
    return OptionXml::Write(path, [](QXmlStreamWriter &writer) {
        const auto section = [&writer](const char *name) {
            writer.writeStartElement(QStringLiteral("section"));
            writer.writeAttribute(QStringLiteral("name"), QLatin1String(name));
        };
        const auto intItem = [&writer](const QString &name, int value) {
            OptionXml::WriteItem(writer, name, 0, QString::number(value));
        };

        const QString address = QLatin1String(defaultGimbalAddress);
        section("ConnectConfig");
        OptionXml::WriteItem(writer, QStringLiteral("LastTCPGimbalIP"), 2, address);
        OptionXml::WriteItem(writer, QStringLiteral("LastURL"), 2,
                             QStringLiteral("rtsp://%1:554").arg(address));
        writer.writeEndElement();

        section("ControlConfig");
        intItem(QStringLiteral("MoveSpeed"), 10);
        intItem(QStringLiteral("ZoomSpeed"), 4);
        intItem(QStringLiteral("FocusSpeed"), 4);
        writer.writeEndElement();

        section("JoystickConfig");
        const int axes[] = {1, 2, 4, 3, 0, 0};
        for (int i = 0; i < 6; ++i)
            intItem(QStringLiteral("Axes%1").arg(i), axes[i]);
        intItem(QStringLiteral("Sensitivity"), 10);
        intItem(QStringLiteral("CursorSpeed"), 5);
        intItem(QStringLiteral("PitchReverse"), 0);
        intItem(QStringLiteral("YawReverse"), 0);
        for (int i = 0; i < 10; ++i)
            intItem(QStringLiteral("Button%1").arg(i), 0);
        writer.writeEndElement();
    });
}
