#include "COptionSection.h"

#include <QDomElement>
#include <QXmlStreamWriter>

#include "COptionItem.h"
#include "OptionXml.h"

COptionSection::COptionSection(const QString &name)
    : m_name(name)
{
}

COptionSection::~COptionSection()
{
    Clear();
}

COptionItem *COptionSection::FindItem(const QString &name, bool create)
{
    const auto found = m_items.constFind(name);
    if (found != m_items.constEnd())
        return found.value();
    if (!create)
        return nullptr;
    auto *item = new COptionItem(name);
    m_items.insert(name, item);
    return item;
}

void COptionSection::Load(const QDomElement &element)
{
    for (QDomElement child = element.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        const QString name = child.attribute(QStringLiteral("name"));
        if (child.tagName() != QLatin1String("item") || name.isEmpty())
            continue;
        auto *item = new COptionItem(name);
        item->Load(child);
        // Kept, it would make every later Save of the document fail.
        if (!OptionXml::CanCarry(m_name) || !item->IsWritable()) {
            OptionXml::RefuseOption(m_name, name);
            delete item;
            continue;
        }
        // A later item of the same name replaces the earlier one whole.
        delete m_items.value(name);
        m_items.insert(name, item);
    }
}

void COptionSection::Save(QXmlStreamWriter &writer) const
{
    writer.writeStartElement(QStringLiteral("section"));
    writer.writeAttribute(QStringLiteral("name"), m_name);
    for (const COptionItem *item : m_items)
        item->Save(writer);
    writer.writeEndElement();
}

void COptionSection::Clear()
{
    qDeleteAll(m_items);
    m_items.clear();
}
