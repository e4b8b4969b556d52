#pragma once

#include <string>

#include "geo/Symbol.h"

namespace geo {

// The picture a place mark shows at its point.
class IconSymbol : public SymbolOf<IconSymbol>
{
public:
    std::string url;
    // Decluttering hides marks that overlap others; we never hide them, the
    // setting is kept so styles say what they mean.
    bool declutter = false;
};

} // namespace geo
