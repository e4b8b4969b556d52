#include "geo/Units.h"

#include <cmath>

namespace geo {

bool Units::operator==(const Units &other) const
{
    return m_kind == other.m_kind && m_toBase == other.m_toBase;
}

double Units::convert(const Units &from, const Units &to, double value)
{
    if (!from.sameKind(to) || from == to)
        return value;
    return value * from.m_toBase / to.m_toBase;
}

const Units Units::METERS("meters", "m", Units::Kind::Length, 1.0);
const Units Units::KILOMETERS("kilometers", "km", Units::Kind::Length, 1000.0);
const Units Units::FEET("feet", "ft", Units::Kind::Length, 0.3048);
const Units Units::US_SURVEY_FEET("feet(us)", "ftUS", Units::Kind::Length, 1200.0 / 3937.0);
const Units Units::MILES("miles", "mi", Units::Kind::Length, 1609.344);
const Units Units::NAUTICAL_MILES("nautical miles", "nm", Units::Kind::Length, 1852.0);
const Units Units::RADIANS("radians", "rad", Units::Kind::Angle, 1.0);
const Units Units::DEGREES("degrees", "\xc2\xb0", Units::Kind::Angle, M_PI / 180.0);

} // namespace geo
