#include "Core.h"

Core::Core() = default;

Core &Core::operator=(const Core &) = default;

Core &Core::operator=(Core &&) = default;
