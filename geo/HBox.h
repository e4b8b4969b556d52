#pragma once

#include "geo/ControlContainer.h"

namespace geo {

// Controls side by side, left to right, with the child spacing between them;
// as tall as the tallest.
class HBox : public ControlContainer
{
public:
    void addControl(Control *control);
    void removeControl(Control *control);

protected:
    osg::Vec2f contentSize() override;
    void placeChildren(const ControlRect &area) override;
    std::vector<Control *> childControls() const override;

private:
    std::vector<osg::ref_ptr<Control>> m_controls;
    std::vector<osg::Vec2f> m_outerSizes;
};

} // namespace geo
