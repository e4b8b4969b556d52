#pragma once

#include <QString>

namespace platform {

// The file of the loaded library or program that contains the given code or
// data address; empty when the address belongs to no loaded file.
QString fileContaining(const void *address);

// The file of a library known by its bare name, for code that lives in a
// shared library of its own: lib<name>.so beside the file that contains the
// address when it is there, otherwise what libraryPath() finds.
QString libraryPathBeside(const void *address, const QString &bareName);

// Keeps the loaded library that contains the address mapped until the process
// ends, whatever unloads it later. For libraries that hand out pointers into
// their own code that outlive any unload.
void keepLoaded(const void *address);

// Keeps the loaded library that contains the address mapped until the
// calling thread has ended, however it ends and whoever unloads the library
// meanwhile: the system's own teardown of the thread lets the hold go, after
// the last of the thread's code in the library has run. Once per thread.
void keepLoadedWhileThreadRuns(const void *address);

} // namespace platform
