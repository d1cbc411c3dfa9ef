#include "analysis/analysis_run.h"

#include "db/database.h"
#include "store/db_operate.h"

#include <QStringList>
#include <unordered_set>

namespace quel::analysis {

std::vector<qint64> chosenProductIds(const QString& idList)
{
    std::vector<qint64> ids;
    std::unordered_set<qint64> seen;
    for (const QString& entry : idList.split(QStringLiteral("；"))) {
        const QString text = entry.trimmed();
        if (text.isEmpty())
            continue;
        bool digitsOnly = true;
        for (QChar c : text)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        if (digitsOnly && ok && seen.insert(id).second)
            ids.push_back(id);
    }
    return ids;
}

QString idSqlList(const std::vector<qint64>& ids)
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(ids.size()));
    for (qint64 id : ids)
        texts << QString::number(id);
    return texts.join(u',');
}

QString shortDateText(const QDate& date)
{
    return QStringLiteral("%1-%2-%3").arg(date.year()).arg(date.month()).arg(date.day());
}

QString sourceLine(const QString& extra)
{
    return QStringLiteral("（数据来源：Dovrel软件；统计日期：")
        + shortDateText(QDate::currentDate()) + extra + QStringLiteral("）");
}

QString analysisFailedMessage()
{
    return QStringLiteral("统计时数据库出错，原有的统计结果没有改变。");
}

WorkTableRun::WorkTableRun(store::DB_Operate& db)
    : m_db(db)
{
    if (!db.OpenConnection(m_conn))
        return;
    m_transaction = m_conn.transaction();
    m_ok = m_transaction.isActive();
}

bool WorkTableRun::exec(const QString& jetSql)
{
    m_ok = m_ok && m_db.ExecuteSql(jetSql, &m_conn);
    return m_ok;
}

bool WorkTableRun::drop(const QString& table)
{
    m_ok = m_ok && m_db.DropTableIfExists(table);
    return m_ok;
}

db::Statement* WorkTableRun::prepare(const QString& sql)
{
    if (!m_ok)
        return nullptr;
    db::Statement stmt = m_conn.database()->prepare(sql);
    if (!stmt) {
        m_ok = false;
        return nullptr;
    }
    m_statements.push_back(std::make_unique<db::Statement>(std::move(stmt)));
    return m_statements.back().get();
}

bool WorkTableRun::stepDone(db::Statement* stmt)
{
    if (!m_ok || !stmt)
        return m_ok = false;
    const bool done = stmt->run();
    stmt->reset();
    m_ok = done;
    return m_ok;
}

bool WorkTableRun::endQuery(db::Statement* stmt, db::StepResult lastStep)
{
    if (stmt)
        stmt->reset();
    m_ok = m_ok && stmt && lastStep != db::StepResult::Error;
    return m_ok;
}

QString WorkTableRun::periodStart(const QString& column, db::DatePart part) const
{
    return m_conn.database()->periodStartSql(column, part);
}

bool WorkTableRun::commit()
{
    m_statements.clear();
    if (!m_ok) {
        m_transaction.rollback();
        return false;
    }
    m_ok = m_transaction.commit();
    return m_ok;
}

} // namespace quel::analysis
