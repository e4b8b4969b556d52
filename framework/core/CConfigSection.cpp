#include "CConfigSection.h"

#include <QDebug>

#include "CConfigItem.h"

CConfigSection::CConfigSection(const QString &tag) : m_strTag(tag) {}

CConfigSection::~CConfigSection()
{
    qDeleteAll(m_items);
}

QString CConfigSection::GetTag() const
{
    return m_strTag;
}

int CConfigSection::GetItemCount() const
{
    return m_items.size();
}

CConfigItem *CConfigSection::GetItemAt(int index) const
{
    if (index < 0 || index >= m_items.size()) {
        qDebug() << "bad input parameter index = " << index;
        return nullptr;
    }
    return m_items.at(index);
}

CConfigItem *CConfigSection::AddItem(const QString &tag)
{
    CConfigItem *item = new CConfigItem(tag);
    m_items.append(item);
    return item;
}

void CConfigSection::SetAttribute(const QString &name, const QString &value)
{
    m_attributes.insert(name, value);
}
