#include "OptionXml.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include "platform/XmlDepthGuard.h"

namespace OptionXml {

namespace {

void logParseFailure(int line, int column, const QString &message)
{
    qDebug() << "parse file failed at line " << line << " column " << column << " error: " << message;
}

// A file that is there but cannot be opened may be whole: the process may
// have run out of descriptors or memory for a moment. Only what is no file
// at all is no options document.
ReadResult whyNotOpened(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return ReadResult::Missing;
    return info.isDir() ? ReadResult::Unreadable : ReadResult::Unavailable;
}

bool shallowEnough(const QString &text, const QString &path)
{
    const int at = platform::findXmlNestedTooDeep(text);
    if (at < 0)
        return true;
    const int lineStart = text.lastIndexOf(QLatin1Char('\n'), at) + 1;
    logParseFailure(text.leftRef(at).count(QLatin1Char('\n')) + 1, at - lineStart + 1,
                    QStringLiteral("elements nested more than %1 deep in %2").arg(platform::deepestXmlNesting).arg(path));
    return false;
}

} // namespace

ReadResult Read(const QString &path, QDomDocument &document)
{
    QFile file(path);
    // Not in text mode, which would drop the carriage returns that a value
    // holds.
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "open file failed: " << path << ", error: " << file.errorString();
        return whyNotOpened(path);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qDebug() << "read file failed: " << path << ", error: " << file.errorString();
        return ReadResult::Unavailable;
    }
    file.close();
    const QString text = platform::decodeXml(bytes);
    if (!shallowEnough(text, path))
        return ReadResult::Unreadable;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(text, false, &message, &line, &column)) {
        logParseFailure(line, column, message);
        return ReadResult::Unreadable;
    }
    if (document.isNull()) {
        qDebug() << "document is null!";
        return ReadResult::Unreadable;
    }
    return ReadResult::Read;
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
    WriteItem(writer, name, QString::number(type), text);
}

void WriteItem(QXmlStreamWriter &writer, const QString &name, const std::optional<QString> &type,
               const QString &text)
{
    writer.writeStartElement(QStringLiteral("item"));
    writer.writeAttribute(QStringLiteral("name"), name);
    if (type)
        writer.writeAttribute(QStringLiteral("type"), *type);
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

void RefuseOption(const QString &section, const QString &item)
{
    qDebug() << "option not set, the options file cannot carry it: " << section << item;
}

} // namespace OptionXml
