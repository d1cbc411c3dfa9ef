#pragma once

#include "grid/grid_model.h"
#include "grid/grid_ops.h"

#include <QStringList>
#include <vector>

namespace quel::test {

// A result grid as the analyses lay it out: two heading rows (field names hidden, then
// captions), three fixed columns (hidden shop, "序号", the point label) and one column per
// series. rows[i] holds the label followed by the series values of data row i.
inline void fillChartGrid(
    grid::GridModel& grid, const QStringList& series, const std::vector<QStringList>& rows)
{
    QStringList fields { "SName", "", "P_Name" };
    QStringList titles { "店铺名称", "序号", "产品名称" };
    for (const QString& name : series) {
        fields << name;
        titles << name;
    }
    grid::setGridColumns(grid, fields, titles);
    int serial = 0;
    for (const QStringList& row : rows) {
        QList<QString> cells { QString(), QString::number(++serial) };
        cells += row;
        grid.appendRow(cells);
    }
    grid.setFixedCols(3);
}

} // namespace quel::test
