#include "OptionXml.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamWriter>

namespace OptionXml {

bool Read(const QString &path, QDomDocument &document)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "open file failed: " << path << ", error: " << file.errorString();
        return false;
    }
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(&file, false, &message, &line, &column)) {
        qDebug() << "parse file failed at line " << line << " column " << column
                 << " error: " << message;
        return false;
    }
    file.close();
    if (document.isNull()) {
        qDebug() << "document is null!";
        return false;
    }
    return true;
}

bool Write(const QString &path, const std::function<void(QXmlStreamWriter &)> &writeSections)
{
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;

    QXmlStreamWriter writer(&file);
    writer.setCodec("UTF-8");
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument(QStringLiteral("1.0"));
    writer.writeStartElement(QStringLiteral("options"));
    writeSections(writer);
    writer.writeEndElement();
    writer.writeEndDocument();

    if (writer.hasError()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void WriteItem(QXmlStreamWriter &writer, const QString &name, int type, const QString &text)
{
    writer.writeStartElement(QStringLiteral("item"));
    writer.writeAttribute(QStringLiteral("name"), name);
    writer.writeAttribute(QStringLiteral("type"), QString::number(type));
    // Written even when empty, so the element keeps its closing tag.
    writer.writeCharacters(text);
    writer.writeEndElement();
}

bool CanCarry(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const ushort code = c.unicode();
        const bool carried = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code < 0xD800)
            || (code >= 0xE000 && code <= 0xFFFD);
        if (!carried)
            return false;
    }
    return true;
}

} // namespace OptionXml
