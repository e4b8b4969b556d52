#include "COptionObject.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomElement>
#include <QXmlStreamWriter>

#include <algorithm>

#include "COptionItem.h"
#include "COptionSection.h"
#include "OptionXml.h"

COptionObject::COptionObject(int kind)
    : m_kind(kind)
{
}

COptionObject::~COptionObject()
{
    Clear();
}

COptionSection *COptionObject::FindSection(const QString &name, bool create)
{
    const auto found = m_sections.constFind(name);
    if (found != m_sections.constEnd())
        return found.value();
    if (!create)
        return nullptr;
    auto *section = new COptionSection(name);
    m_sections.insert(name, section);
    return section;
}

COptionItem *COptionObject::FindItem(const QString &section, const QString &item)
{
    COptionSection *found = FindSection(section, false);
    return found ? found->FindItem(item, false) : nullptr;
}

// A value the file cannot carry is refused here rather than kept: once in
// the document it would make every later Save fail, losing good changes too.
COptionItem *COptionObject::MakeItem(const QString &section, const QString &item,
                                     const QStringList &texts)
{
    const bool carried = OptionXml::CanCarry(section) && OptionXml::CanCarry(item)
        && std::all_of(texts.begin(), texts.end(), OptionXml::CanCarry);
    if (!carried) {
        OptionXml::RefuseOption(section, item);
        return nullptr;
    }
    return FindSection(section, true)->FindItem(item, true);
}

int COptionObject::GetInt(const QString &section, const QString &item, int defaultValue)
{
    const COptionItem *found = FindItem(section, item);
    int value = defaultValue;
    return found && found->GetInt(value) ? value : defaultValue;
}

void COptionObject::SetInt(const QString &section, const QString &item, int value)
{
    if (COptionItem *made = MakeItem(section, item))
        made->SetInt(value);
}

bool COptionObject::GetBool(const QString &section, const QString &item, bool defaultValue)
{
    const COptionItem *found = FindItem(section, item);
    bool value = defaultValue;
    return found && found->GetBool(value) ? value : defaultValue;
}

void COptionObject::SetBool(const QString &section, const QString &item, bool value)
{
    if (COptionItem *made = MakeItem(section, item))
        made->SetBool(value);
}

QString COptionObject::GetString(const QString &section, const QString &item,
                                 const QString &defaultValue)
{
    const COptionItem *found = FindItem(section, item);
    QString value;
    return found && found->GetString(value) ? value : defaultValue;
}

void COptionObject::SetString(const QString &section, const QString &item, const QString &value)
{
    if (COptionItem *made = MakeItem(section, item, {value}))
        made->SetString(value);
}

bool COptionObject::GetStringList(const QString &section, const QString &item, QStringList &out)
{
    const COptionItem *found = FindItem(section, item);
    return found && found->GetStringList(out);
}

void COptionObject::SetStringList(const QString &section, const QString &item,
                                  const QStringList &value)
{
    if (COptionItem *made = MakeItem(section, item, value))
        made->SetStringList(value);
}

bool COptionObject::Save()
{
    // Emptied and not loaded since (its service was uninitialised while a
    // caller kept it), or its file could not be opened or read: it holds
    // none of its file, and writing it would replace the operator's options
    // with whatever was set since.
    if (m_cleared || m_fileUnreadable || m_fileUnavailable)
        return false;
    return OptionXml::Write(m_path, [this](QXmlStreamWriter &writer) {
        for (const COptionSection *section : qAsConst(m_sections))
            section->Save(writer);
    });
}

void COptionObject::Init(IApplicationContext *context, const QString &path)
{
    m_context = context;
    if (path.isEmpty())
        return;
    m_path = path;
    if (!Load(path))
        qDebug() << "Load xml failed, " << path;
}

bool COptionObject::Load(const QString &path)
{
    qDebug() << "Filename = " << path;
    Clear();
    // Kept even when the load fails, so that sets and a Save create the file.
    m_path = path;
    m_cleared = false;

    QDomDocument document;
    const OptionXml::ReadResult result = OptionXml::Read(path, document);
    m_fileUnreadable = result == OptionXml::ReadResult::Unreadable;
    m_fileUnavailable = result == OptionXml::ReadResult::Unavailable;
    if (result != OptionXml::ReadResult::Read)
        return false;

    const QDomElement root = document.documentElement();
    for (QDomElement child = root.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        const QString name = child.attribute(QStringLiteral("name"));
        if (child.tagName() != QLatin1String("section") || name.isEmpty())
            continue;
        auto *section = new COptionSection(name);
        section->Load(child);
        // Its items were refused one by one, each with its log line.
        if (!OptionXml::CanCarry(name)) {
            delete section;
            continue;
        }
        // A later section of the same name replaces the earlier one whole.
        delete m_sections.value(name);
        m_sections.insert(name, section);
    }
    m_loaded = true;
    return true;
}

void COptionObject::Clear()
{
    qDeleteAll(m_sections);
    m_sections.clear();
    m_loaded = false;
    m_cleared = true;
}
