#include "COptionItem.h"

#include <QDebug>
#include <QDomElement>

#include "OptionXml.h"

namespace {

// A list is stored as its elements, each ended by a line feed. Reading keeps
// the trimmed, non-empty pieces that a line feed ends; text after the last
// line feed was never ended and is dropped.
QStringList splitList(const QString &text)
{
    QStringList pieces = text.split(QLatin1Char('\n'));
    pieces.removeLast();
    QStringList list;
    for (const QString &piece : qAsConst(pieces)) {
        const QString trimmed = piece.trimmed();
        if (!trimmed.isEmpty())
            list.append(trimmed);
    }
    return list;
}

QString joinList(const QStringList &list)
{
    QString text;
    for (const QString &element : list)
        text += element + QLatin1Char('\n');
    return text;
}

} // namespace

COptionItem::COptionItem(const QString &name)
    : m_name(name)
{
}

COptionItem::~COptionItem() = default;

void COptionItem::Load(const QDomElement &element)
{
    const QString typeText = element.attribute(QStringLiteral("type"));
    bool isNumber = false;
    const int type = typeText.toInt(&isNumber);
    if (!isNumber || type < Int || type > StringList)
        KeepAsRead(element);
    if (type >= 4) {
        qDebug() << "bad item type: " << typeText;
        return;
    }
    m_type = type;
    const QString text = element.text();
    switch (type) {
    case Int:
        m_value = text.toInt();
        break;
    case Bool:
        m_value = text == QLatin1String("1") ? 1 : 0;
        break;
    case String:
        m_text = text;
        break;
    case StringList:
        m_list = splitList(text);
        break;
    default:
        // A negative type from a file is kept as it came and carries no value.
        break;
    }
}

void COptionItem::KeepAsRead(const QDomElement &element)
{
    m_keptAsRead = true;
    if (element.hasAttribute(QStringLiteral("type")))
        m_readType = element.attribute(QStringLiteral("type"));
    m_readText = element.text();
}

QString COptionItem::Text() const
{
    switch (m_type) {
    case Int:
        return QString::number(m_value);
    case Bool:
        return m_value ? QStringLiteral("1") : QStringLiteral("0");
    case String:
        return m_text;
    case StringList:
        return joinList(m_list);
    default:
        return QString();
    }
}

void COptionItem::Save(QXmlStreamWriter &writer) const
{
    if (m_keptAsRead)
        OptionXml::WriteItem(writer, m_name, m_readType, m_readText);
    else
        OptionXml::WriteItem(writer, m_name, m_type, Text());
}

bool COptionItem::IsWritable() const
{
    if (!OptionXml::CanCarry(m_name))
        return false;
    if (m_keptAsRead)
        return OptionXml::CanCarry(m_readType.value_or(QString())) && OptionXml::CanCarry(m_readText);
    return OptionXml::CanCarry(Text());
}

bool COptionItem::GetInt(int &value) const
{
    if (m_type != Int)
        return false;
    value = m_value;
    return true;
}

bool COptionItem::GetBool(bool &value) const
{
    if (m_type != Bool)
        return false;
    value = m_value == 1;
    return true;
}

bool COptionItem::GetString(QString &value) const
{
    if (m_type != String)
        return false;
    value = m_text;
    return true;
}

bool COptionItem::GetStringList(QStringList &value) const
{
    if (m_type != StringList)
        return false;
    value = m_list;
    return true;
}

void COptionItem::SetInt(int value)
{
    m_keptAsRead = false;
    m_type = Int;
    m_value = value;
}

void COptionItem::SetBool(bool value)
{
    m_keptAsRead = false;
    m_type = Bool;
    m_value = value ? 1 : 0;
}

void COptionItem::SetString(const QString &value)
{
    m_keptAsRead = false;
    m_type = String;
    m_text = value;
}

void COptionItem::SetStringList(const QStringList &value)
{
    m_keptAsRead = false;
    m_type = StringList;
    m_list = value;
}
