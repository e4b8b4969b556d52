#pragma once

#include "geo/Measure.h"

namespace geo {

// A length; metres unless said otherwise.
class Distance : public Measure
{
public:
    Distance() : Measure(0.0, Units::METERS) {}
    explicit Distance(double value, const Units &units = Units::METERS) : Measure(value, units) {}
};

} // namespace geo
