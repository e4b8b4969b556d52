#pragma once

#include "geo/Color.h"
#include "geo/Symbol.h"

namespace geo {

// How a line is stroked.
class LineSymbol : public SymbolOf<LineSymbol>
{
public:
    struct Stroke {
        Color color = Color::White;
        float width = 1.0f;          // pixels
        unsigned short stipple = 0;  // 16-bit on/off pattern; 0 draws a solid line
    };

    Stroke &stroke() { return m_stroke; }
    const Stroke &stroke() const { return m_stroke; }
    // Every leg of the line is cut into this many pieces that follow the
    // curve of the earth; 0 leaves the division to the drawing.
    void setTessellation(unsigned pieces) { m_tessellation = pieces; }
    unsigned tessellation() const { return m_tessellation; }

private:
    Stroke m_stroke;
    unsigned m_tessellation = 0;
};

} // namespace geo
