#pragma once

#include <QString>

namespace platform {

// The folder of the running program, without a trailing separator. Unlike
// QCoreApplication::applicationDirPath() it needs no application object.
QString programFolder();

// The file of a library known by its bare name ("NQCore", "Core"): the
// lib<name>.so beside the running program when it is there, otherwise the
// bare name, which leaves the search to the dynamic loader. Neither dlopen nor
// QLibrary looks in the program's folder by themselves.
QString libraryPath(const QString &bareName);

// The file of a program known by its bare name ("NQCenter", "Geoscope"):
// the one beside the running program when it is there, otherwise the bare
// name, which leaves the search to PATH.
QString programPath(const QString &bareName);

} // namespace platform
