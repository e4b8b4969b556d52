#pragma once

#include "geo/Symbol.h"

namespace geo {

// Render state of a feature.
class RenderSymbol : public SymbolOf<RenderSymbol>
{
public:
    bool lighting = false;
};

} // namespace geo
