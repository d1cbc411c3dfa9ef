#pragma once

#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace quel::db_sqlite {

// What the value table of one connection reads: the list being served, or none.
struct ValueTableSource
{
    std::shared_ptr<const std::vector<std::string>> values;
};

// Makes the table db::kValueTable (one text column, v) readable on the connection, its
// rows the source's values in their order (none while nothing is served). The source
// outlives the connection. False when the engine refused the module.
bool registerValueTable(sqlite3* db, ValueTableSource* source);

} // namespace quel::db_sqlite
