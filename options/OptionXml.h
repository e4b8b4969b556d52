#pragma once

#include <QDomDocument>
#include <QString>

#include <functional>
#include <optional>

class QXmlStreamWriter;

// The file side shared by the options documents, the default options and
// the device capability table.
namespace OptionXml {

enum class ReadResult {
    Read,
    Missing,
    // There, but cannot be opened or read now (no access, out of
    // descriptors or memory): it may be whole, so it stays where it is, no
    // caller may write over it, and the next request reads it again.
    Unavailable,
    // There, but no options document (not well-formed, cut short, empty,
    // nested too deep, a folder): it may hold what nothing else does, so no
    // caller may write over it.
    Unreadable,
};

// Reads and parses path. On failure logs what went wrong (open, read, parse
// with line and column, nesting too deep, or a null document).
ReadResult Read(const QString &path, QDomDocument &document);

// Writes an options file: the "xml" declaration, the "options" root, and
// whatever writeSections puts inside it, as UTF-8 with an indent of 4.
// Attributes come out in the order written (the DOM writer would shuffle
// them from run to run). The file is replaced only once the whole text is
// on disk: a failed or interrupted write leaves the old file as it was and
// returns false.
bool Write(const QString &path, const std::function<void(QXmlStreamWriter &)> &writeSections);

void WriteItem(QXmlStreamWriter &writer, const QString &name, int type, const QString &text);
// An item whose type attribute is written as given, or left out.
void WriteItem(QXmlStreamWriter &writer, const QString &name, const std::optional<QString> &type,
               const QString &text);

// Whether an options file can hold the text as a name or a value: XML has
// no way to write most control characters, U+FFFE, U+FFFF or half of a
// surrogate pair, not even as a character reference.
bool CanCarry(const QString &text);

// The one log line for an option that an options file cannot carry, whether
// a set or a file brought it.
void RefuseOption(const QString &section, const QString &item);

} // namespace OptionXml
