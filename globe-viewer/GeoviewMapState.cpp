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

} // namespace GeoviewMapState
