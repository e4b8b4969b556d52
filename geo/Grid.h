#pragma once

#include "geo/ControlContainer.h"

#include <map>
#include <utility>

namespace geo {

// Controls in cells of columns and rows. A column is as wide as its widest
// control and a row as tall as its tallest; columns and rows without a
// visible control take no room, so numbering may start anywhere.
class Grid : public ControlContainer
{
public:
    void setControl(int column, int row, Control *control);
    Control *getControl(int column, int row) const;

protected:
    osg::Vec2f contentSize() override;
    void placeChildren(const ControlRect &area) override;
    std::vector<Control *> childControls() const override;

private:
    using Cell = std::pair<int, int>; // row, column: row-major drawing order
    static float offsetOf(const std::map<int, float> &extents, int index, float spacing);

    std::map<Cell, osg::ref_ptr<Control>> m_cells;
    std::map<int, float> m_columnWidths;
    std::map<int, float> m_rowHeights;
};

} // namespace geo
