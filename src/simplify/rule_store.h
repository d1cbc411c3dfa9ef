#pragma once

#include "simplify/name_rules.h"

#include <QList>
#include <QString>
#include <optional>

namespace quel::store {
class DB_Operate;
}

namespace quel::simplify {

// Whether a name is one of the two rule tables (the only tables the rule code writes to).
bool IsRuleTable(const QString& table);

// Reads "SELECT * FROM " + table + " ORDER BY ID"; an empty list when the table is empty or
// cannot be read (the access layer shows the failure).
NameRuleList LoadNameRules(store::DB_Operate& db, const QString& table);

// Both rule lists, as the search and the re-derivation use them.
NameRuleSet LoadNameRuleSet(store::DB_Operate& db);

// Rewrites P_Name of every product from its PName with freshly loaded rules, with the
// progress window. Returns the number of products whose short name changed.
long RederiveAllShortNames(store::DB_Operate& db);

// Why a rule was not saved.
enum class SaveRuleResult
{
    Saved,
    EmptyMatch,
    Duplicate,
    Failed
};

// Adds a rule, or changes the rule with the given ID. A match text that another rule of the
// table holds exactly (case counts) is refused.
SaveRuleResult SaveNameRule(store::DB_Operate& db, const QString& table, const QString& match,
    const QString& shortText, std::optional<qint64> id);

// The confirmation asked before deleting: rows are named by their serial-number texts.
QString DeleteRulesQuestion(const QString& firstSerial, const QString& lastSerial);

// Deletes the rules with these IDs after the user confirmed DeleteRulesQuestion, all or
// nothing. False when the user said No or the deletion failed.
bool DeleteNameRules(store::DB_Operate& db, const QString& table, const QList<qint64>& ids,
    const QString& firstSerial, const QString& lastSerial);

} // namespace quel::simplify
