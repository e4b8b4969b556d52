#pragma once

#include <QByteArray>
#include <QString>

// The DOM parser and the DOM's destructor take stack for every level of
// nesting, and a file nested deep enough ends the process, whatever else is
// wrong with it. Every XML file of the station is looked at here first,
// without recursion, in exactly the text that its parser is then given.
namespace platform {

// Far deeper than any file of the station goes, far shallower than what the
// DOM parser and destructor take from any thread's stack.
const int deepestXmlNesting = 256;

// The text of an XML file as the DOM parser decodes its bytes itself (a byte
// order mark, else the declared encoding, else UTF-8). Parse this text, not
// the file, so that what was looked at is what is parsed.
QString decodeXml(const QByteArray &bytes);

// Where text first opens an element deeper than deepestXmlNesting, as the
// DOM parser would nest it, or -1. It reads any text to its end: text that
// is not well-formed may be found too deep where the parser would stop at
// its fault first, but never shallower than the parser would build it. An
// entity whose text may hold markup can nest without bound wherever it is
// used, so its first use in content counts as too deep; one whose text is
// only characters adds no depth.
int findXmlNestedTooDeep(const QString &text);

} // namespace platform
