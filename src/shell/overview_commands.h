// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quel::shell {

class MainWindow;

// The market overview page: its categories are read whenever it is shown, its button
// computes the overview of the chosen one, and "导出报告" writes it to a file the user names.
void installOverviewCommands(MainWindow* mf);

} // namespace quel::shell
