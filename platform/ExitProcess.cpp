#include "platform/ExitProcess.h"

#include <unistd.h>

namespace platform {

void exitProcessNow(int status)
{
    _exit(status);
}

} // namespace platform
