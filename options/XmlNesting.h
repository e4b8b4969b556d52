#pragma once

#include <QString>

// The DOM parser and the DOM's destructor take stack for every level of
// nesting, and a file nested deep enough ends the process. This looks at
// the text first, without recursion.
namespace XmlNesting {

// Where text first opens an element deeper than limit, as the DOM parser
// would nest it, or -1. Text that is not well-formed may be found too deep
// where the parser would stop at its fault first; it is never found
// shallower than the parser would build it. An entity whose value may hold
// markup can nest without bound wherever it is used, so its first use in
// content counts as too deep.
int FindTooDeep(const QString &text, int limit);

} // namespace XmlNesting
