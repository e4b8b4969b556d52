#pragma once

namespace platform {

// Gives the calling thread a signal stack for the rest of the process.
//
// A fatal signal from a thread whose stack overflowed can only be handled on
// a stack of its own; without one the process dies with no trace. So every
// other thread of the process, whether Qt, the C++ library or a module
// starts it, gets one for its lifetime: this file gives the program that
// links it a pthread_create that wraps each new thread's start routine, and
// calling this function is what links it. Programs that do not call it keep
// their threads as they are.
void giveEveryThreadASignalStack();

} // namespace platform
