#pragma once

// What the viewer takes for a position, from the host or from the operator:
// a point on the globe, at an altitude a drone can report. Deeper than the
// lowest shore on land or higher than where the atmosphere ends is a glitch
// of the receiver, not a flight; kept, it would stretch the flight path by
// days or overflow its times.
namespace PositionLimits {

constexpr double kLongitude = 180.0;
constexpr double kLatitude = 90.0;
constexpr double kLowestAltitude = -500.0;
constexpr double kHighestAltitude = 100000.0;

// Comparisons are false for NaN, so these refuse it as well.
inline bool usableLongitude(double degrees) { return degrees >= -kLongitude && degrees <= kLongitude; }
inline bool usableLatitude(double degrees) { return degrees >= -kLatitude && degrees <= kLatitude; }
inline bool usableAltitude(double metres) { return metres >= kLowestAltitude && metres <= kHighestAltitude; }

} // namespace PositionLimits
