#pragma once

#include <QString>

#include <osg/Array>
#include <osg/ref_ptr>

#include "geo/FeatureNode.h"
#include "geo/LabelControl.h"
#include "geo/PlaceNode.h"
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

// Pointer modes, switched by the side buttons.
extern bool placemarkMode;
extern bool measuringMode;

// The distance measurement. The click counter counts left releases while
// measuring is on: the release of the click that switched it on is the
// first, and takes no point.
extern int measureClickCount;
extern int measurementCount;
// Set by the clear button, which has emptied the markers already.
extern bool keepMarkers;
extern osg::ref_ptr<geo::FeatureNode> measureLine;
extern osg::ref_ptr<geo::FeatureNode> liveMeasureLine;
extern osg::ref_ptr<geo::PlaceNode> startMarker;
extern osg::ref_ptr<geo::PlaceNode> endMarker;
extern osg::ref_ptr<geo::PlaceNode> lengthLabel;

// A set toggle means the button's next click takes its "on" branch.
extern bool placemarkToggle;
extern bool measuringToggle;
extern bool followToggle;
extern bool clearToggle;

} // namespace GeoviewMapState
