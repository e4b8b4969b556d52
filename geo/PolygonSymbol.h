#pragma once

#include "geo/Color.h"
#include "geo/Symbol.h"

namespace geo {

// How an area is filled; translucent fills are blended over the globe.
class PolygonSymbol : public SymbolOf<PolygonSymbol>
{
public:
    struct Fill {
        Color color = Color::White;
    };

    Fill &fill() { return m_fill; }
    const Fill &fill() const { return m_fill; }

private:
    Fill m_fill;
};

} // namespace geo
