#pragma once

#include "geo/Units.h"

namespace geo {

// A number with its unit. Distance and Angle are the two kinds the globe
// uses; they differ only in their default unit.
class Measure
{
public:
    Measure(double value, const Units &units) : m_value(value), m_units(units) {}

    double getValue() const { return m_value; }
    const Units &getUnits() const { return m_units; }
    double as(const Units &units) const { return Units::convert(m_units, units, m_value); }

    void set(double value, const Units &units) { m_value = value; m_units = units; }

private:
    double m_value;
    Units m_units;
};

} // namespace geo
