#pragma once

namespace cmdline {
class parser;
}
class IOVNDataObject;

// The framework's own command-line options and the context keys under which
// their values are kept for the modules to read.
namespace FrameworkOptions {

void Add(cmdline::parser &parser);

// Every key is stored on every start, with the default when the option was
// not given. The setters are the object's own, so each store marks it
// modified.
void Store(const cmdline::parser &parser, IOVNDataObject *values);

} // namespace FrameworkOptions
