#pragma once

#include <QString>

namespace quel::bench {

// One size's run of the scale benchmark, in its own process: copies the database into a
// fresh data folder and times opening the main window on it, the four lists (fill with the
// row limit, a filter, a sort), the analyses against one SQL query each, importing 200
// product results (and the same import into an empty database), deleting 1,000 products
// with their trades, compaction against a direct VACUUM, and reports the file size per trade record
// and the process's peak memory. Prints "name: value unit" lines; returns the exit code.
// With a grid file, every list's and analysis' grid is written to it as well, so that two
// builds can be compared for their results.
int runMeasurement(int argc, char** argv, const QString& database, const QString& binDir,
    const QString& gridFile = {});

} // namespace quel::bench
