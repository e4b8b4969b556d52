#include "GeoviewMapState.h"

namespace GeoviewMapState {

int placemarkCounter = 0;

double droneLongitude = 0.0;
double droneLatitude = 0.0;
double droneAltitude = 0.0;

osg::Vec4Array *routePoints()
{
    static const osg::ref_ptr<osg::Vec4Array> points = new osg::Vec4Array;
    return points.get();
}

geo::Style placemarkStyle;
geo::Style targetPlacemarkStyle;
geo::Style measureLineStyle;
geo::Style measureSegmentStyle;
geo::Style labelTextStyle;

osg::ref_ptr<geo::LabelControl> coordinateLabel;
QString measureLabelText;

bool placemarkMode = false;
bool measuringMode = false;

int measureClickCount = 0;
int measurementCount = 0;
bool keepMarkers = false;
osg::ref_ptr<geo::FeatureNode> measureLine;
osg::ref_ptr<geo::FeatureNode> liveMeasureLine;
osg::ref_ptr<geo::PlaceNode> startMarker;
osg::ref_ptr<geo::PlaceNode> endMarker;
osg::ref_ptr<geo::PlaceNode> lengthLabel;

bool placemarkToggle = true;
bool measuringToggle = true;
bool followToggle = true;
bool clearToggle = true;

} // namespace GeoviewMapState
