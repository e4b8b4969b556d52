#include "CConfigFile.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomNamedNodeMap>
#include <QFile>
#include <QXmlStreamReader>

#include "CConfigItem.h"
#include "CConfigSection.h"

namespace {

// The document parser descends one call per element, so a file nested deep
// enough overflows the stack. Our files use three levels; this leaves room
// for any hand-written layout and stays far from the stack's end.
const int maxDepth = 256;

// Counted with a reader that keeps its element stack on the heap. A file it
// finds malformed before the limit is left to the parser, which says why.
bool nestsTooDeep(QIODevice *device)
{
    QXmlStreamReader reader(device);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > maxDepth)
            return true;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return false;
}

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

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "open file failed: " << path << ", error: " << file.errorString();
        return -1;
    }

    if (nestsTooDeep(&file)) {
        qDebug() << "parse file failed: " << path << ", error: "
                 << QStringLiteral("elements nested more than %1 deep").arg(maxDepth);
        return -1;
    }
    // The parser reads from the start again, through the file: reading it
    // whole in text mode first would drop a lone carriage return, which
    // makes a file malformed.
    file.reset();

    QDomDocument document;
    QString error;
    int line = 0;
    int column = 0;
    if (!document.setContent(&file, false, &error, &line, &column)) {
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
