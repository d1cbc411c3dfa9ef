#pragma once

#include <QString>
#include <functional>

namespace quel::core {
class Feedback;
}
namespace quel::store {
class DB_Operate;
}

namespace quel::shell {

// Removes every product, trade, buyer, saved keyword and simplification rule; the
// replacement rules of 替换表 stay. Drops the work tables and empties the grids (through
// emptyGrids). Progress in the indicator; a failing step does not stop the next.
void ClearDatabaseTables(
    store::DB_Operate& db, core::Feedback& feedback, const std::function<void()>& emptyGrids);

// Deletes the worker result files (Temp_*.*) in folder; returns how many were removed.
int RemoveWorkerFiles(const QString& folder);

// What closing the main window leaves behind it: the inline-image setting written back,
// the work tables dropped, the worker files removed. Errors are ignored.
void RunShutdown(store::DB_Operate& db, const QString& folder);

} // namespace quel::shell
