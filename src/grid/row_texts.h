#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <vector>

namespace quel::grid {

// The texts of one grid row, back to back in one string with the end of each cell: a list
// of a hundred thousand rows then holds two blocks of memory per row instead of one per
// cell, and a fill touches a third of the fresh memory. Cells past count() are empty.
class RowTexts
{
public:
    RowTexts() = default;
    explicit RowTexts(const QList<QString>& cells);

    // Cells held; every later one is empty.
    int count() const { return static_cast<int>(m_ends.size()); }
    // Valid until the row changes; empty for a cell out of range.
    QStringView at(int col) const;
    void set(int col, QStringView text);
    // Drops the cells from `cols` on.
    void truncate(int cols);

private:
    QString m_text;
    std::vector<qsizetype> m_ends;
};

} // namespace quel::grid
