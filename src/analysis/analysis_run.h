#pragma once

#include "analysis/chart_data.h"
#include "db/connection.h"
#include "db/database.h"

#include <QDate>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace quel::db {
class Database;
} // namespace quel::db

namespace quel::store {
class DB_Operate;
} // namespace quel::store

namespace quel::analysis {

// What an analysis hands to its page: whether the grid holds a new result to draw, the
// chart title, whether the scroll/zoom hint belongs under the chart, and the range boxes'
// new texts when the analysis sets them (empty: leave them as they are).
struct AnalysisResult
{
    bool ready = false;
    QString title;
    bool showHint = false;
    QString rangeStart;
    QString rangeEnd;
    // What the chart draws by default: lines along time, bars over other categories.
    ChartMark mark = ChartMark::Line;
};

// The chosen products of a picker tag ("5；12；5；"): the entries that are whole numbers,
// each once, in their first order. A product picked twice counts once.
std::vector<qint64> chosenProductIds(const QString& idList);
// The identifiers for an IN (...) list: "5,12".
QString idSqlList(const std::vector<qint64>& ids);

// The short date form of chart titles: 2026-12-7.
QString shortDateText(const QDate& date);
// "（数据来源：Dovrel软件；统计日期：" + today + extra + "）".
QString sourceLine(const QString& extra = {});

// Shown when a run failed and its work tables were left as they were.
QString analysisFailedMessage();

// One run's rebuild of its work tables: a connection and a transaction around every
// statement, so a failure leaves the tables of the previous run whole. Statements after a
// failed one are skipped; commit() reports whether everything was kept.
class WorkTableRun
{
public:
    explicit WorkTableRun(store::DB_Operate& db);
    WorkTableRun(const WorkTableRun&) = delete;
    WorkTableRun& operator=(const WorkTableRun&) = delete;

    bool ok() const { return m_ok; }
    // The run's database (null when it could not be opened).
    db::Database* database() const { return m_conn.database(); }
    // Runs one Jet statement.
    bool exec(const QString& jetSql);
    bool drop(const QString& table);
    // A prepared statement of portable SQL on the run's database (null when failed); owned
    // by the run.
    db::Statement* prepare(const QString& sql);
    // Steps a statement that returns no rows; marks the run failed on error.
    bool stepDone(db::Statement* stmt);
    // Ends the reading of a query after its last step's result (Done, or Row when the
    // caller stopped early): a failed read fails the run, and the statement is reset so
    // that later statements may change tables.
    bool endQuery(db::Statement* stmt, db::StepResult lastStep);
    // The engine's expression for the day, week (from Monday) or month a date falls in.
    QString periodStart(const QString& column, db::DatePart part) const;
    // Keeps the work; false (and everything undone) when any step or the commit failed.
    bool commit();
    // Undoes the work (also done when the run is destroyed uncommitted).
    void rollback() { m_transaction.rollback(); }

private:
    store::DB_Operate& m_db;
    db::Connection m_conn;
    db::Transaction m_transaction;
    std::vector<std::unique_ptr<db::Statement>> m_statements;
    bool m_ok = false;
};

} // namespace quel::analysis
