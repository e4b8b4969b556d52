#pragma once

#include <QString>

#include <osg/Array>
#include <osg/ref_ptr>

#include "geo/LabelControl.h"
#include "geo/Style.h"

// What the globe's code shares across the whole program: one globe per
// viewer, so these live once, on the GUI thread, and need no lock.
namespace GeoviewMapState {

// The number that the next "Geo Point " placemark takes; never reset.
extern int placemarkCounter;

// The drone's last reported position (degrees, metres).
extern double droneLongitude;
extern double droneLatitude;
extern double droneAltitude;

// Every drone position received with a longitude: longitude, latitude,
// altitude and speed (m/s). Points are never removed.
osg::Vec4Array *routePoints();

extern geo::Style placemarkStyle;
extern geo::Style targetPlacemarkStyle;
extern geo::Style measureLineStyle;
extern geo::Style measureSegmentStyle;
extern geo::Style labelTextStyle;

extern osg::ref_ptr<geo::LabelControl> coordinateLabel;
extern QString measureLabelText;

} // namespace GeoviewMapState
