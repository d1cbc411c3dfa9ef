#pragma once

#include "search/searched_product.h"
#include "simplify/name_rules.h"

#include <QList>

namespace quel::db {
class Connection;
} // namespace quel::db

namespace quel::store {
class DB_Operate;
} // namespace quel::store

namespace quel::search {

// Numbers as the statements write them: shortest decimal form, at most 15 digits.
QString NumberText(double value);

// Stores one product with its short name and records what the list showed of it in the
// price history under the day of its Dat: 1 when inserted, 0 when the row with its PCode
// was updated, -1 when a statement failed. historyNs, when given, gets the time spent on
// the history added.
int SaveSearchedProduct(store::DB_Operate& db, const db::Connection& conn,
    const SearchedProduct& product, const simplify::NameRuleSet& rules,
    qint64* historyNs = nullptr);

// Stores one result page's products together: all of them or, on a failure, none.
// Returns the number newly inserted, or -1 when the page could not be stored.
int SaveSearchedPage(store::DB_Operate& db, const db::Connection& conn,
    const QList<SearchedProduct>& products, const simplify::NameRuleSet& rules,
    qint64* historyNs = nullptr);

} // namespace quel::search
