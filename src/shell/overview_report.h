// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/market_overview.h"
#include "exports/report.h"

#include <QDate>
#include <QSize>
#include <QString>
#include <QStringList>

namespace quel::shell {

struct BatchContext;

// The size each chart of a written report is drawn at.
inline constexpr QSize kReportChartSize { 800, 450 };

// The overview as a report: the title with its category, the date and the database, the
// headline figures, and per chart its picture, table and note.
exports::Report BuildOverviewReport(const analysis::MarketOverview& overview,
    const QString& databaseName, const QDate& today = QDate::currentDate());

// Writes the overview to a .pdf, .html or .csv file (the figures alone), replaced only
// when complete. False with the reason otherwise (also for another extension).
bool WriteOverviewReport(const analysis::MarketOverview& overview, const QString& path,
    const QString& databaseName, QString* error);

// The name a report gives for the database in use: its file name, or the server address.
QString reportDatabaseName(const QString& databasePath);

// "quelmar --batch report [--category K] --out FILE": 2 with the usage for bad arguments
// (an --out that is not .pdf, .html or .csv included), 1 when the database cannot be read,
// the category is unknown (named) or the file cannot be written, 0 when written.
int RunReportBatch(BatchContext& context, const QStringList& arguments);
QString ReportBatchUsage();

} // namespace quel::shell
