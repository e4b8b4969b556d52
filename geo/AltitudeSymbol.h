#pragma once

#include "geo/Symbol.h"

namespace geo {

// Where a feature sits in height.
class AltitudeSymbol : public SymbolOf<AltitudeSymbol>
{
public:
    enum Clamping { CLAMP_NONE = 0, CLAMP_TO_TERRAIN = 1 };
    // Draping lays the feature onto the ground, whatever its heights.
    enum Technique { TECHNIQUE_DEFAULT = 0, TECHNIQUE_DRAPE = 3 };

    Clamping clamping = CLAMP_NONE;
    Technique technique = TECHNIQUE_DEFAULT;
    // Metres above where clamping puts it.
    double verticalOffset = 0.0;

    // Lying on the ground, one way or the other.
    bool onGround() const { return clamping == CLAMP_TO_TERRAIN || technique == TECHNIQUE_DRAPE; }
};

} // namespace geo
