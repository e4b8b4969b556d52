#pragma once

#include <QtGlobal>

// Exported by the framework library for those who look for it; it holds
// nothing and does nothing.
class Q_DECL_EXPORT Core
{
public:
    Core();
    Core &operator=(const Core &);
    Core &operator=(Core &&);
};
