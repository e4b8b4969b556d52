#pragma once

namespace geo {

// A unit of length or angle. A value converts between two units of the same
// kind through the unit's size in the base unit of its kind (metres or
// radians); converting between kinds is refused. The constants are
// constant-initialised, so objects at file scope may safely hold them.
class Units
{
public:
    enum class Kind { Length, Angle };

    constexpr Units(const char *name, const char *abbreviation, Kind kind, double toBase)
        : m_name(name), m_abbreviation(abbreviation), m_kind(kind), m_toBase(toBase)
    {
    }

    const char *name() const { return m_name; }
    const char *abbreviation() const { return m_abbreviation; }
    Kind kind() const { return m_kind; }
    double toBase() const { return m_toBase; }

    bool sameKind(const Units &other) const { return m_kind == other.m_kind; }
    bool operator==(const Units &other) const;
    bool operator!=(const Units &other) const { return !(*this == other); }

    // value in `from` expressed in `to`; value unchanged when the kinds differ.
    static double convert(const Units &from, const Units &to, double value);

    static const Units METERS;
    static const Units KILOMETERS;
    static const Units FEET;          // international foot, 0.3048 m
    static const Units US_SURVEY_FEET; // 1200/3937 m
    static const Units MILES;         // international mile, 1609.344 m
    static const Units NAUTICAL_MILES; // 1852 m
    static const Units RADIANS;
    static const Units DEGREES;

private:
    const char *m_name;
    const char *m_abbreviation;
    Kind m_kind;
    double m_toBase;
};

} // namespace geo
