#include "MyMeasureToolCallback.h"

void MyMeasureToolCallback::onDistanceChanged(geo::MeasureToolHandler *, double distance)
{
    m_lastDistance = distance;
}
