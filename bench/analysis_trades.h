#pragma once

#include <QStringList>

class QTextStream;

// The trade, customer and sales-cycle analyses against one SQL query each, on a generated
// database of `arguments[0]` trades (1,000,000 by default) kept in the folder
// `arguments[1]` when given. Prints "analysis_<kind>_ratio: R x" lines; 0 when every
// analysis agreed with its query.
int runTradeAnalysisBench(const QStringList& arguments, QTextStream& out);
