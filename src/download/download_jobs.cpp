#include "download/download_jobs.h"

#include "core/feedback.h"
#include "db/connection.h"
#include "db/recordset.h"
#include "download/buyer_result.h"

#include <QSet>
#include <cmath>

namespace quel::download {

namespace {

constexpr double kCellBudget = 350000;
constexpr int kGridColumns = 5;

const QString kBuyerTable = QStringLiteral("TEMP_Customer");

QString withCondition(QString sql, const QString& condition, const QString& order)
{
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    return sql + QStringLiteral(" ORDER BY ") + order;
}

// Opens the listing and reads its rows into jobs, the code column giving the job unless a
// job builder is given.
std::optional<std::vector<DownloadJob>> readJobs(const db::Connection& conn, const QString& sql,
    const QString& codeField, const QString& titleField, core::Feedback& feedback,
    const std::function<QString(const QString&)>& jobOf)
{
    db::Recordset rs;
    QString why;
    if (!conn.isOpen() || !rs.open(conn.shared(), sql, &why)) {
        feedback.message(QStringLiteral("数据库打开错误(") + sql + QStringLiteral(")！"));
        return std::nullopt;
    }
    const long count = rs.recordCount();
    const long limit = DownloadRowLimit();
    long shown = count;
    if (count > limit) {
        feedback.message(QStringLiteral("数据库里共有") + QString::number(count)
            + QStringLiteral("条记录，表格只能显示") + QString::number(limit)
            + QStringLiteral("条记录，因此无法全部显示，请修改筛选条件。"));
        shown = limit;
    }
    const int idIndex = rs.fieldIndex(QStringLiteral("ID"));
    const int codeIndex = rs.fieldIndex(codeField);
    const int titleIndex = rs.fieldIndex(titleField);
    std::vector<DownloadJob> jobs;
    jobs.reserve(std::size_t(shown));
    for (long n = 0; n < shown && !rs.eof(); ++n, rs.moveNext()) {
        DownloadJob job;
        job.id = rs.value(idIndex).toLongLong();
        job.code = rs.value(codeIndex).toString();
        job.title = rs.value(titleIndex).toString();
        job.job = jobOf ? jobOf(job.code) : job.code;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

QSet<QString> lowerNames(const std::vector<db::ColumnInfo>& columns)
{
    QSet<QString> names;
    for (const db::ColumnInfo& c : columns)
        names.insert(c.name.toLower());
    return names;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// One row per Buyer: the rows ordered by Buyer, each row whose Buyer equals the one kept
// before it deleted.
bool deleteDuplicateBuyers(const db::Connection& conn, QString* error)
{
    db::Recordset rs;
    if (!rs.open(
            conn.shared(), QStringLiteral("SELECT * FROM TEMP_Customer ORDER BY Buyer"), error))
        return false;
    const int buyerIndex = rs.fieldIndex(QStringLiteral("Buyer"));
    bool first = true;
    QString kept;
    for (; !rs.eof(); rs.moveNext()) {
        const QString buyer = rs.value(buyerIndex).toString();
        if (!first && buyer == kept) {
            if (!rs.deleteCurrent())
                return fail(error, rs.lastError());
        } else {
            kept = buyer;
            first = false;
        }
    }
    return true;
}

} // namespace

long DownloadRowLimit()
{
    return long(std::nearbyint(kCellBudget / kGridColumns - 0.5)) - 2;
}

std::optional<std::vector<DownloadJob>> FillProductJobs(
    const db::Connection& conn, const QString& condition, core::Feedback& feedback)
{
    const QString sql = withCondition(
        QStringLiteral("SELECT * FROM 产品表"), condition, QStringLiteral("dDat DESC"));
    return readJobs(conn, sql, QStringLiteral("PCode"), QStringLiteral("PName"), feedback, {});
}

bool PrepareBuyerTable(const db::Connection& conn, QString* error)
{
    db::Database* db = conn.database();
    if (!db)
        return fail(error, QStringLiteral("no database connection"));
    const auto customers = db->tableColumns(QStringLiteral("客户表"));
    if (!customers)
        return fail(error, QStringLiteral("客户表 is missing"));
    if (const auto existing = db->tableColumns(kBuyerTable)) {
        QSet<QString> wanted = lowerNames(*customers);
        wanted.insert(QStringLiteral("buyer"));
        if (lowerNames(*existing) == wanted)
            return true;
        // The trade list leaves a TEMP_Customer of trades, not of customers.
        if (!conn.execute(QStringLiteral("DROP TABLE TEMP_Customer"), error))
            return false;
    }
    db::Transaction tx = conn.transaction();
    if (!conn.execute(
            QStringLiteral("SELECT 客户表.*,交易表.Buyer AS Buyer INTO TEMP_Customer "
                           "FROM 客户表,交易表 WHERE 客户表.BCode=交易表.BCode AND 客户表.Prov=''"),
            error))
        return false;
    if (!deleteDuplicateBuyers(conn, error))
        return false;
    return tx.commit() || fail(error, QStringLiteral("commit failed"));
}

std::optional<std::vector<DownloadJob>> FillBuyerJobs(const db::Connection& conn,
    const QString& condition, core::Feedback& feedback,
    const std::function<QString(const QString&)>& profileUrl)
{
    const QString sql = withCondition(
        QStringLiteral("SELECT * FROM TEMP_Customer"), condition, QStringLiteral("dDat"));
    auto jobs = readJobs(
        conn, sql, QStringLiteral("BCode"), QStringLiteral("Buyer"), feedback, profileUrl);
    if (jobs && jobs->empty())
        feedback.message(QStringLiteral("没有需要下载资讯的客户！"));
    return jobs;
}

bool SaveBuyerResult(const db::Connection& conn, const QString& text, qint64 customerId,
    QString* error, const QDate& today)
{
    const std::optional<QString> sql = BuildBuyerUpdate(text, customerId, today);
    if (!sql)
        return fail(error, QStringLiteral("short result or unreadable date"));
    return conn.execute(*sql, error);
}

} // namespace quel::download
