#include "Prefstore.h"

Prefstore::Prefstore() = default;

Prefstore &Prefstore::operator=(const Prefstore &)
{
    return *this;
}

Prefstore &Prefstore::operator=(Prefstore &&)
{
    return *this;
}
