#include "XmlDepthGuard.h"

#include <QXmlInputSource>

namespace platform {

namespace {

bool startsAt(const QString &text, int at, QLatin1String what)
{
    return QStringRef(&text, at, qMin(what.size(), text.size() - at)) == what;
}

// The index just past the next end, or the end of the text.
int skipPast(const QString &text, int from, QLatin1String end)
{
    const int found = text.indexOf(end, from);
    return found < 0 ? text.size() : found + end.size();
}

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// Skips a start tag from just after its '<'; quoted attribute values may
// hold '>'. Returns the index just past it.
int skipStartTag(const QString &text, int from, bool &empty)
{
    QChar quote;
    QChar previous;
    for (int i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (isQuote(c)) {
            quote = c;
        } else if (c == QLatin1Char('>')) {
            empty = previous == QLatin1Char('/');
            return i + 1;
        }
        previous = c;
    }
    empty = false;
    return text.size();
}

// The code of the character reference at, or -1 when it is none.
int characterCode(const QString &text, int at)
{
    const int end = text.indexOf(QLatin1Char(';'), at);
    if (end < 0)
        return -1;
    const bool hex = startsAt(text, at, QLatin1String("&#x"));
    const int digits = at + (hex ? 3 : 2);
    bool ok = false;
    const int code = QStringRef(&text, digits, end - digits).toInt(&ok, hex ? 16 : 10);
    return ok ? code : -1;
}

// Whether the character at, inside a literal of the internal subset, can
// give an entity markup: '<' itself, a character reference to '<' or '&'
// (which the parser expands when it declares the entity), or a parameter
// entity. A general entity reference brings only what that entity's own
// literal holds, which is looked at where it is declared, and the
// predefined ones only characters.
bool givesMarkup(const QString &text, int at)
{
    const QChar c = text.at(at);
    if (c == QLatin1Char('<') || c == QLatin1Char('%'))
        return true;
    if (!startsAt(text, at, QLatin1String("&#")))
        return false;
    const int code = characterCode(text, at);
    return code < 0 || code == '<' || code == '&';
}

// Skips a document type declaration from just after "<!DOCTYPE", and tells
// whether a literal in its internal subset could give an entity markup.
// Brackets are counted so that a section inside the subset does not end it
// early.
int skipDoctype(const QString &text, int from, bool &markupEntities)
{
    QChar quote;
    int brackets = 0;
    for (int i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (brackets > 0 && !markupEntities && givesMarkup(text, i))
                markupEntities = true;
        } else if (isQuote(c)) {
            quote = c;
        } else if (brackets > 0 && startsAt(text, i, QLatin1String("<!--"))) {
            i = skipPast(text, i + 4, QLatin1String("-->")) - 1;
        } else if (brackets > 0 && startsAt(text, i, QLatin1String("<?"))) {
            i = skipPast(text, i + 2, QLatin1String("?>")) - 1;
        } else if (c == QLatin1Char('[')) {
            ++brackets;
        } else if (c == QLatin1Char(']')) {
            --brackets;
        } else if (c == QLatin1Char('>') && brackets <= 0) {
            return i + 1;
        }
    }
    return text.size();
}

bool isPredefined(const QStringRef &name)
{
    for (const char *predefined : {"amp", "lt", "gt", "quot", "apos"}) {
        if (name == QLatin1String(predefined))
            return true;
    }
    return false;
}

// A reference to an entity declared in the document, not to a character or
// to one of the five that every document has.
bool isDeclaredEntityReference(const QString &text, int at)
{
    if (startsAt(text, at, QLatin1String("&#")))
        return false;
    const int end = text.indexOf(QLatin1Char(';'), at);
    return end < 0 || !isPredefined(QStringRef(&text, at + 1, end - at - 1));
}

} // namespace

QString decodeXml(const QByteArray &bytes)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QXmlInputSource source;
    source.setData(bytes);
    const QString text = source.data();
    QT_WARNING_POP
    return text;
}

int findXmlNestedTooDeep(const QString &text)
{
    int depth = 0;
    bool markupEntities = false;
    int i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('&') && markupEntities && isDeclaredEntityReference(text, i))
            return i;
        if (c != QLatin1Char('<')) {
            ++i;
        } else if (startsAt(text, i, QLatin1String("<!--"))) {
            i = skipPast(text, i + 4, QLatin1String("-->"));
        } else if (startsAt(text, i, QLatin1String("<![CDATA["))) {
            i = skipPast(text, i + 9, QLatin1String("]]>"));
        } else if (startsAt(text, i, QLatin1String("<?"))) {
            i = skipPast(text, i + 2, QLatin1String("?>"));
        } else if (startsAt(text, i, QLatin1String("<!DOCTYPE"))) {
            i = skipDoctype(text, i + 9, markupEntities);
        } else if (startsAt(text, i, QLatin1String("<!"))) {
            i = skipPast(text, i + 2, QLatin1String(">"));
        } else if (startsAt(text, i, QLatin1String("</"))) {
            i = skipPast(text, i + 2, QLatin1String(">"));
            --depth;
        } else {
            const int start = i;
            bool empty = false;
            i = skipStartTag(text, i + 1, empty);
            if (depth + 1 > deepestXmlNesting)
                return start;
            if (!empty)
                ++depth;
        }
    }
    return -1;
}

} // namespace platform
