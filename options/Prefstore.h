#pragma once

#include <QtGlobal>

#define PREFSTORE_EXPORT Q_DECL_EXPORT

// The library's exported class. It carries nothing; the module is reached
// through GetModuleObject.
class PREFSTORE_EXPORT Prefstore
{
public:
    Prefstore();
    Prefstore &operator=(const Prefstore &);
    Prefstore &operator=(Prefstore &&);
};
