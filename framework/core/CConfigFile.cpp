#include "CConfigFile.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomNamedNodeMap>
#include <QFile>

#include "CConfigItem.h"
#include "CConfigSection.h"
#include "platform/XmlDepthGuard.h"

namespace {

template <typename Target>
void copyAttributes(const QDomElement &element, Target *target)
{
    const QDomNamedNodeMap attributes = element.attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        target->SetAttribute(attribute.name(), attribute.value());
    }
}

} // namespace

CConfigFile::~CConfigFile()
{
    Clear();
}

int CConfigFile::Load(const QString &path)
{
    Clear();

    // Not in text mode: it drops carriage returns byte by byte, which breaks
    // a UTF-16 file written with CRLF line ends.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "open file failed: " << path << ", error: " << file.errorString();
        return -1;
    }
    const QString text = platform::decodeXml(file.readAll());
    file.close();

    if (platform::findXmlNestedTooDeep(text) >= 0) {
        qDebug() << "parse file failed: " << path << ", error: "
                 << QStringLiteral("elements nested more than %1 deep").arg(platform::deepestXmlNesting);
        return -1;
    }

    QDomDocument document;
    QString error;
    int line = 0;
    int column = 0;
    if (!document.setContent(text, false, &error, &line, &column)) {
        qDebug() << "parse file failed at line " << line << " column " << column << " error: " << error;
        return -1;
    }
    if (document.isNull()) {
        qDebug() << "document is null!";
        return -1;
    }

    for (QDomElement child = document.documentElement().firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        AddSection(child);
    }
    return 0;
}

void CConfigFile::AddSection(const QDomElement &element)
{
    CConfigSection *section = new CConfigSection(element.tagName());
    copyAttributes(element, section);
    m_sections.append(section);

    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        copyAttributes(child, section->AddItem(child.tagName()));
}

CConfigSection *CConfigFile::GetSection(const QString &tag) const
{
    for (CConfigSection *section : m_sections) {
        if (section->GetTag() == tag)
            return section;
    }
    return nullptr;
}

void CConfigFile::Clear()
{
    qDeleteAll(m_sections);
    m_sections.clear();
}
