#pragma once

namespace platform {

// Gives the calling thread a signal stack for the rest of the process, and
// makes sure that every thread started from now on in the process, by Qt,
// the C++ library or a module, gets one of its own for its lifetime.
//
// A fatal signal from a thread whose stack overflowed can only be handled on
// a stack of its own; without one the process dies with no trace. Linking
// this file into a program gives it a pthread_create that wraps each new
// thread's start routine; the threads of programs that do not link it are
// left as they are.
void giveEveryThreadASignalStack();

} // namespace platform
