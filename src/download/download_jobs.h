#pragma once

#include "core/clock.h"
#include "download/download_pool.h"

#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace quel::db {
class Connection;
} // namespace quel::db

namespace quel::core {
class Feedback;
}
namespace quel::download {

// Row limit of a download grid: the grid engine's cell budget over its five columns.
long DownloadRowLimit();

// The products a detail download lists: "SELECT * FROM 产品表" with the condition
// ("Style=''" or none), ordered "dDat DESC", cut at the row limit (with the grid engine's
// message). nullopt, after a message, when the table cannot be read.
std::optional<std::vector<DownloadJob>> FillProductJobs(
    const db::Connection& conn, const QString& condition, core::Feedback& feedback);

// Makes sure TEMP_Customer holds the buyers to profile: built from 客户表 and 交易表 (one
// row per nickname) when it is missing, rebuilt when a table of that name with other
// columns was left by the trade list. An existing table of the right shape is kept.
bool PrepareBuyerTable(const db::Connection& conn, QString* error = nullptr);

// The buyers a profile download lists from TEMP_Customer: condition ("rDat=#1900-1-1#" or
// none), ordered "dDat". The job of each is the profile address of its BCode.
std::optional<std::vector<DownloadJob>> FillBuyerJobs(const db::Connection& conn,
    const QString& condition, core::Feedback& feedback,
    const std::function<QString(const QString&)>& profileUrl);

// Writes one mode-1 worker result into the 客户表 row with the given ID; false when the
// result is short, carries an unreadable date, or the database refuses the statement.
bool SaveBuyerResult(const db::Connection& conn, const QString& text, qint64 customerId,
    QString* error = nullptr, const QDate& today = quel::core::Today());

} // namespace quel::download
