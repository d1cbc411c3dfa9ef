#include "simplify/rule_store.h"

#include "core/feedback.h"
#include "store/db_operate.h"

namespace quel::simplify {

namespace {

const QString kSimplifying = QStringLiteral("正在简化商品名称……");

} // namespace

bool IsRuleTable(const QString& table)
{
    return table == kReplacementTable || table == kSimplificationTable;
}

NameRuleList LoadNameRules(store::DB_Operate& db, const QString& table)
{
    NameRuleList rules;
    if (!IsRuleTable(table))
        return rules;
    db::Connection conn;
    db::Recordset rs;
    if (!db.OpenRecordset(
            conn, rs, QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY ID")))
        return rules;
    for (; !rs.eof(); rs.moveNext())
        rules.append({ rs.field(QStringLiteral("Con")).toString(),
            rs.field(QStringLiteral("Sim")).toString() });
    db.CloseRecordset(conn, rs);
    return rules;
}

NameRuleSet LoadNameRuleSet(store::DB_Operate& db)
{
    NameRuleSet set;
    set.simplification = LoadNameRules(db, kSimplificationTable);
    set.replacement = LoadNameRules(db, kReplacementTable);
    return set;
}

long RederiveAllShortNames(store::DB_Operate& db)
{
    const NameRuleSet rules = LoadNameRuleSet(db);
    core::Feedback& feedback = db.feedback();
    db::Connection conn;
    db::Recordset rs;
    if (!db.OpenRecordset(conn, rs, QStringLiteral("SELECT ID,PName,P_Name FROM 产品表")))
        return 0;
    feedback.indicatorStart(kSimplifying, rs.recordCount(), 0);
    long changed = 0;
    {
        // One transaction: tens of thousands of single writes would each be a disk sync.
        db::Transaction transaction = conn.transaction();
        for (; !rs.eof(); rs.moveNext()) {
            const QString shortName = rules.shortName(rs.field(QStringLiteral("PName")).toString());
            // A failing row is skipped; the next one is processed as usual.
            if (shortName != rs.field(QStringLiteral("P_Name")).toString()
                && rs.setField(QStringLiteral("P_Name"), shortName) && rs.update())
                ++changed;
            feedback.indicatorStep(1, QStringLiteral("pages"));
        }
        transaction.commit();
    }
    db.CloseRecordset(conn, rs);
    feedback.indicatorClose();
    return changed;
}

SaveRuleResult SaveNameRule(store::DB_Operate& db, const QString& table, const QString& match,
    const QString& shortText, std::optional<qint64> id)
{
    if (match.isEmpty())
        return SaveRuleResult::EmptyMatch;
    if (!IsRuleTable(table))
        return SaveRuleResult::Failed;

    db::Connection conn;
    db::Recordset rs;
    // The database compares case-insensitively; only an exact match is a duplicate.
    QString check = QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE Con=")
        + store::Quote(match);
    if (id)
        check += QStringLiteral(" AND ID<>") + QString::number(*id);
    if (db.OpenRecordset(conn, rs, check)) {
        for (; !rs.eof(); rs.moveNext()) {
            if (rs.field(QStringLiteral("Con")).toString() == match) {
                db.CloseRecordset(conn, rs);
                return SaveRuleResult::Duplicate;
            }
        }
    }
    db.CloseRecordset(conn, rs);

    const QString select = QStringLiteral("SELECT * FROM ") + table
        + (id ? QStringLiteral(" WHERE ID=") + QString::number(*id)
              : QStringLiteral(" WHERE ID<0"));
    if (!db.OpenRecordset(conn, rs, select))
        return SaveRuleResult::Failed;
    bool ok = true;
    if (rs.eof())
        ok = rs.addNew();
    ok = ok && rs.setField(QStringLiteral("Con"), match)
        && rs.setField(QStringLiteral("Sim"), shortText) && rs.update();
    db.CloseRecordset(conn, rs);
    return ok ? SaveRuleResult::Saved : SaveRuleResult::Failed;
}

QString DeleteRulesQuestion(const QString& firstSerial, const QString& lastSerial)
{
    return QStringLiteral("您确定要删除第") + firstSerial + QStringLiteral("至第") + lastSerial
        + QStringLiteral("行记录？");
}

bool DeleteNameRules(store::DB_Operate& db, const QString& table, const QList<qint64>& ids,
    const QString& firstSerial, const QString& lastSerial)
{
    if (!IsRuleTable(table) || ids.isEmpty())
        return false;
    if (!db.feedback().ask(DeleteRulesQuestion(firstSerial, lastSerial)))
        return false;
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return false;
    db::Transaction transaction = conn.transaction();
    for (const qint64 id : ids) {
        if (!db.ExecuteSql(QStringLiteral("DELETE * FROM ") + table + QStringLiteral(" WHERE ID=")
                    + QString::number(id),
                &conn))
            return false;
    }
    return transaction.commit();
}

} // namespace quel::simplify
