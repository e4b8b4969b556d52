#pragma once

#include "geo/Measure.h"

namespace geo {

// An angle; degrees unless said otherwise.
class Angle : public Measure
{
public:
    Angle() : Measure(0.0, Units::DEGREES) {}
    explicit Angle(double value, const Units &units = Units::DEGREES) : Measure(value, units) {}
};

} // namespace geo
