#pragma once

class QComboBox;

namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::views {

// Makes a combo box take its values from its list only: every key pressed in it is
// discarded (Tab still moves on), while the program may still put any text into it. A
// click anywhere on the box opens the list.
void lockComboTyping(QComboBox* combo);

// Refills a column combo with one "column|title" entry per non-fixed column of the grid;
// with keepText the text the combo showed before stays.
void fillColumnCombo(const grid::GridModel& grid, QComboBox* combo, bool keepText);

} // namespace quel::views
