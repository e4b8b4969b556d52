#include "geo/Grid.h"

#include <algorithm>

namespace geo {

void Grid::setControl(int column, int row, Control *control)
{
    const Cell cell(row, column);
    auto old = m_cells.find(cell);
    if (old != m_cells.end()) {
        disown(old->second.get());
        m_cells.erase(old);
    }
    if (control) {
        m_cells[cell] = control;
        adopt(control);
    }
}

Control *Grid::getControl(int column, int row) const
{
    auto it = m_cells.find(Cell(row, column));
    return it == m_cells.end() ? nullptr : it->second.get();
}

std::vector<Control *> Grid::childControls() const
{
    std::vector<Control *> children;
    for (const auto &cell : m_cells)
        children.push_back(cell.second.get());
    return children;
}

osg::Vec2f Grid::contentSize()
{
    m_columnWidths.clear();
    m_rowHeights.clear();
    for (const auto &cell : m_cells) {
        if (!cell.second->visible())
            continue;
        const osg::Vec2f outer = cell.second->measure();
        float &width = m_columnWidths[cell.first.second];
        float &height = m_rowHeights[cell.first.first];
        width = std::max(width, outer.x());
        height = std::max(height, outer.y());
    }
    auto total = [this](const std::map<int, float> &extents) {
        float sum = 0.0f;
        for (const auto &extent : extents)
            sum += extent.second;
        return extents.empty() ? 0.0f : sum + childSpacing() * float(extents.size() - 1);
    };
    return osg::Vec2f(total(m_columnWidths), total(m_rowHeights));
}

float Grid::offsetOf(const std::map<int, float> &extents, int index, float spacing)
{
    float offset = 0.0f;
    for (auto it = extents.begin(); it != extents.end() && it->first < index; ++it)
        offset += it->second + spacing;
    return offset;
}

void Grid::placeChildren(const ControlRect &area)
{
    for (const auto &cell : m_cells) {
        if (!cell.second->visible())
            continue;
        const int row = cell.first.first;
        const int column = cell.first.second;
        cell.second->place({area.x + offsetOf(m_columnWidths, column, childSpacing()),
                            area.y + offsetOf(m_rowHeights, row, childSpacing()),
                            m_columnWidths[column], m_rowHeights[row]});
    }
}

} // namespace geo
