// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace quel::core {
class Feedback;
}
namespace quel::db {
class Database;
}

namespace quel::store {

// The market overview's sums, kept by triggers on 交易表, 产品表 and 客户表 so that every
// writer (imports, deletions, category changes, copies, other tools on the file) keeps them
// true, and rebuilt from those tables whenever asked. Only the embedded engine keeps them; a
// server database is read from its base tables.
//
// 概览周销售: per category (KWord, '' for products without one and trades without a product)
//   and week (Julian day of its Monday) the trades, quantity and amount in cents.
// 概览买家省份: per scope (0 all products, KWord ''; 1 one category) and stored province the
//   profiled buyer rows (客户表 rows with a name) whose buyer code has trades there.
inline constexpr char kOverviewWeeksTable[] = "概览周销售";
inline constexpr char kOverviewProvincesTable[] = "概览买家省份";

// The tables and triggers of the summary (native SQLite text, in order).
QStringList overviewSummaryStatements();

// Whether the database keeps the summary as this program makes it (its tables and every
// trigger, each as overviewSummaryStatements() writes it).
bool HasOverviewSummary(db::Database& db);

// The progress steps of a rebuild: one per category and two more.
int OverviewSummarySteps(db::Database& db);

// Drops the summary and makes it anew from the base tables, with its triggers, in one
// transaction (nested in the caller's, if any): either the whole summary is there afterwards
// or the old state is. Progress goes through `feedback` when given (OverviewSummarySteps);
// closing its window undoes the work and returns false. Does nothing on a server.
bool RebuildOverviewSummary(db::Database& db, QString* error, core::Feedback* feedback = nullptr);

// Drops the summary's triggers and tables (before emptying the base tables, which would run
// the triggers once per row); RebuildOverviewSummary makes it again.
bool DropOverviewSummary(db::Database& db, QString* error);

// The week expression of the summary for a stored date column: the Julian day of the
// Monday of its week, NULL for a text that is no date.
QString overviewWeekSql(const QString& column);

} // namespace quel::store
