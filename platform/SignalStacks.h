#pragma once

namespace platform {

// Gives the calling thread a signal stack for the rest of the process, and
// every thread started after it through pthread_create or thrd_create one
// for that thread's lifetime.
//
// A fatal signal from a thread whose stack overflowed can only be handled on
// a stack of its own; without one the process dies with no trace. The stacks
// of new threads come from the pthread_create and thrd_create that this
// file's object defines and the program exports, in front of the C
// library's, for the libraries it loads as well. Calling this function is
// what links that object into a program, so only the launcher, which calls
// it through its crash filter, has them; other programs keep their threads
// as they are. Threads the C library starts for itself (timer and message
// queue notifications, asynchronous I/O) and those of a library that looks
// past the program for the C library's definitions get none.
void giveThisAndEveryNewThreadASignalStack();

} // namespace platform
