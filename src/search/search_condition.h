#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quel::store {
class DB_Operate;
}

namespace quel::search {

// The separator of the fields of a dialog result.
inline const QString kFieldSeparator = QStringLiteral("〗★〖");

// The remembered search conditions of 关键词, most recent first.
struct KeywordLists
{
    QStringList keywords; // Cls 0
    QStringList nicks; // Cls 1
};

// One row of 关键词 as it is written.
struct KeywordRow
{
    int cls = 0;
    QString con;
    bool operator==(const KeywordRow&) const = default;
};

// The lists from the table's rows in ID order.
KeywordLists KeywordListsFromRows(const QList<KeywordRow>& rows);

// The rows that replace the table when a condition is confirmed: per class the condition as
// typed first, then the older entries in their order without the one just used.
QList<KeywordRow> RememberedRows(
    const KeywordLists& lists, const QString& keyword, const QString& nick);

// What the condition dialog hands back: trimmed keyword + separator + trimmed nickname.
QString ConditionResult(const QString& keyword, const QString& nick);

// A dialog result split into keyword and nickname; false for an empty (cancelled) result.
bool SplitConditionResult(const QString& result, QString* keyword, QString* nick);

// Reads "SELECT * FROM 关键词 ORDER BY ID".
KeywordLists LoadKeywordLists(store::DB_Operate& db);

// Replaces the table's rows with RememberedRows, all or nothing.
bool SaveKeywordLists(
    store::DB_Operate& db, const KeywordLists& lists, const QString& keyword, const QString& nick);

} // namespace quel::search
