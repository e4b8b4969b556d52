#pragma once

#include <QString>

namespace platform {

// Installs the process-wide crash filter: handlers for the fatal signals
// (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT), on a signal stack of each
// thread's own so that they survive any thread's stack overflowing, and a
// terminate handler for C++ exceptions that nothing caught.
//
// On a crash the filter logs the error code, address, flags and parameter
// count (Windows exception codes and values, which users and support know
// crashes by), and for an uncaught exception its type and message, writes a
// crash report to
// "<dumpFolder>/dump_<yyyy-MM-dd_hh.mm.ss>.dmp" (replacing a file of that
// name; skipped when the file cannot be created), raises the core limit,
// starts boxProgram with the code and the address as its two arguments,
// waits up to ten seconds for the user to close it, and then lets the crash
// end the process; a box still open stays on the screen. The report's
// backtrace is bare return addresses, which its memory map resolves.
//
// Everything the handler needs is prepared here, because after a crash only
// async-signal-safe calls can be trusted: a descriptor for the report and
// one on the memory map are held from here on, so that a process that used
// up its own still gets its whole report, and the report's name takes the
// local offset from UTC worked out in advance for both sides of the next
// daylight-saving change (renewed hourly by the event loop).
void installCrashFilter(const QString &dumpFolder, const QString &boxProgram);

} // namespace platform
