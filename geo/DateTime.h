#pragma once

namespace geo {

// A moment in universal time, as a calendar date and the hours into that
// day (fractions allowed; 5.5 is 05:30 UTC).
class DateTime
{
public:
    DateTime(int year, int month, int day, double hours);

    int year() const { return m_year; }
    int month() const { return m_month; }
    int day() const { return m_day; }
    double hours() const { return m_hours; }

    // Days since noon UTC of 1 January 4713 BC (the Julian day number with
    // its fraction), the time scale of astronomical formulas.
    double julianDay() const;

private:
    int m_year;
    int m_month;
    int m_day;
    double m_hours;
};

} // namespace geo
