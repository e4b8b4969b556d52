#include "CConfigItem.h"

CConfigItem::CConfigItem(const QString &tag) : m_strTag(tag) {}

QString CConfigItem::GetTag() const
{
    return m_strTag;
}

QString CConfigItem::GetAttribute(const QString &name) const
{
    return m_attributes.value(name);
}

void CConfigItem::SetAttribute(const QString &name, const QString &value)
{
    m_attributes.insert(name, value);
}
