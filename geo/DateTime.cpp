#include "geo/DateTime.h"

namespace geo {

DateTime::DateTime(int year, int month, int day, double hours)
    : m_year(year), m_month(month), m_day(day), m_hours(hours)
{
}

double DateTime::julianDay() const
{
    // Gregorian calendar; January and February count as months 13 and 14 of
    // the year before, so that the leap day falls at the end of the year.
    int y = m_year, m = m_month;
    if (m <= 2) {
        y -= 1;
        m += 12;
    }
    const int century = y / 100;
    const int gregorian = 2 - century + century / 4;
    const long days = static_cast<long>(365.25 * (y + 4716)) + static_cast<long>(30.6001 * (m + 1));
    return days + m_day + gregorian - 1524.5 + m_hours / 24.0;
}

} // namespace geo
