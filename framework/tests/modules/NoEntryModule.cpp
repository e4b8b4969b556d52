// A library that loads but offers no module object.
#include "IModule.h"

MODULE_EXPORT int NotAModule()
{
    return 0;
}
