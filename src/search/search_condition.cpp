#include "search/search_condition.h"

#include "core/text_cut.h"
#include "store/db_operate.h"

namespace quel::search {

namespace {

void appendRemembered(
    QList<KeywordRow>& rows, int cls, const QStringList& list, const QString& current)
{
    rows.append({ cls, current });
    for (const QString& entry : list) {
        if (entry != current)
            rows.append({ cls, entry });
    }
}

} // namespace

KeywordLists KeywordListsFromRows(const QList<KeywordRow>& rows)
{
    KeywordLists lists;
    for (const KeywordRow& row : rows) {
        if (row.cls == 0)
            lists.keywords.append(row.con);
        else if (row.cls == 1)
            lists.nicks.append(row.con);
    }
    return lists;
}

QList<KeywordRow> RememberedRows(
    const KeywordLists& lists, const QString& keyword, const QString& nick)
{
    QList<KeywordRow> rows;
    appendRemembered(rows, 0, lists.keywords, keyword);
    appendRemembered(rows, 1, lists.nicks, nick);
    return rows;
}

QString ConditionResult(const QString& keyword, const QString& nick)
{
    return core::TrimBlanks(keyword) + kFieldSeparator + core::TrimBlanks(nick);
}

bool SplitConditionResult(const QString& result, QString* keyword, QString* nick)
{
    if (result.isEmpty())
        return false;
    const QStringList parts = result.split(kFieldSeparator);
    *keyword = parts.value(0);
    *nick = parts.value(1);
    return true;
}

KeywordLists LoadKeywordLists(store::DB_Operate& db)
{
    QList<KeywordRow> rows;
    db::Connection conn;
    db::Recordset rs;
    if (db.OpenRecordset(conn, rs, QStringLiteral("SELECT * FROM 关键词 ORDER BY ID"))) {
        for (; !rs.eof(); rs.moveNext())
            rows.append({ rs.field(QStringLiteral("Cls")).toInt(),
                rs.field(QStringLiteral("Con")).toString() });
    }
    db.CloseRecordset(conn, rs);
    return KeywordListsFromRows(rows);
}

bool SaveKeywordLists(
    store::DB_Operate& db, const KeywordLists& lists, const QString& keyword, const QString& nick)
{
    db::Connection conn;
    if (!db.OpenConnection(conn))
        return false;
    // All or nothing: a failure half way must not leave the remembered list emptied.
    db::Transaction transaction = conn.transaction();
    if (!db.ExecuteSql(QStringLiteral("DELETE * FROM 关键词"), &conn))
        return false;
    for (const KeywordRow& row : RememberedRows(lists, keyword, nick)) {
        if (!db.ExecuteSql(QStringLiteral("INSERT INTO 关键词(Cls,Con) VALUES(")
                    + QString::number(row.cls) + QStringLiteral(",") + store::Quote(row.con)
                    + QStringLiteral(")"),
                &conn))
            return false;
    }
    return transaction.commit();
}

} // namespace quel::search
