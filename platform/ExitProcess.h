#pragma once

namespace platform {

// Ends the calling process at once with the given status: no destructors, no
// atexit handlers, no flushing of Qt's or the C library's buffers. A status
// of -1 shows as 255 to the parent.
[[noreturn]] void exitProcessNow(int status);

} // namespace platform
