#pragma once

#include "geo/MeasureToolHandler.h"

// Keeps the measuring tool's last distance.
class MyMeasureToolCallback : public geo::MeasureToolHandler::MeasureToolEventHandler
{
public:
    explicit MyMeasureToolCallback(void *owner) : m_owner(owner) {}

    void onDistanceChanged(geo::MeasureToolHandler *sender, double distance) override;
    double lastDistance() const { return m_lastDistance; }

private:
    void *m_owner;
    double m_lastDistance = 0.0;
};
