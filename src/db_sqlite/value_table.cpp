#include "db_sqlite/value_table.h"

#include "db/database.h"

#include <new>
#include <sqlite3.h>

namespace quel::db_sqlite {

namespace {

// The engine hands these back as its own base structs: the base comes first.
struct Table
{
    sqlite3_vtab base;
    ValueTableSource* source;
};

struct Cursor
{
    sqlite3_vtab_cursor base;
    // Held by the cursor, so a list the caller stops serving stays whole while a
    // statement still reads it.
    std::shared_ptr<const std::vector<std::string>> values;
    size_t at;
};

Table* tableOf(sqlite3_vtab* vtab)
{
    return reinterpret_cast<Table*>(vtab);
}

Cursor* cursorOf(sqlite3_vtab_cursor* cursor)
{
    return reinterpret_cast<Cursor*>(cursor);
}

size_t servedCount(const ValueTableSource* source)
{
    return source->values ? source->values->size() : 0;
}

int connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**)
{
    // The program's text columns compare without letter case; a value compares the same
    // on either side of "=".
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(v TEXT COLLATE NOCASE)");
    if (rc != SQLITE_OK)
        return rc;
    auto* table = new (std::nothrow) Table {};
    if (!table)
        return SQLITE_NOMEM;
    table->source = static_cast<ValueTableSource*>(aux);
    *out = &table->base;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab* vtab)
{
    delete tableOf(vtab);
    return SQLITE_OK;
}

// One way to read the table, all of it in order: so a join reads the list once, outside,
// and looks each value up in the other table's index.
int bestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info)
{
    const auto rows = static_cast<sqlite3_int64>(servedCount(tableOf(vtab)->source));
    info->estimatedRows = rows;
    info->estimatedCost = static_cast<double>(rows) + 1;
    return SQLITE_OK;
}

int open(sqlite3_vtab*, sqlite3_vtab_cursor** out)
{
    auto* cursor = new (std::nothrow) Cursor {};
    if (!cursor)
        return SQLITE_NOMEM;
    *out = &cursor->base;
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* cursor)
{
    delete cursorOf(cursor);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**)
{
    Cursor* cursor = cursorOf(base);
    cursor->values = tableOf(base->pVtab)->source->values;
    cursor->at = 0;
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor* cursor)
{
    ++cursorOf(cursor)->at;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* base)
{
    const Cursor* cursor = cursorOf(base);
    return !cursor->values || cursor->at >= cursor->values->size();
}

int column(sqlite3_vtab_cursor* base, sqlite3_context* context, int)
{
    const Cursor* cursor = cursorOf(base);
    const std::string& value = (*cursor->values)[cursor->at];
    // The cursor keeps the list alive until the statement is done with it.
    sqlite3_result_text(context, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* out)
{
    *out = static_cast<sqlite3_int64>(cursorOf(cursor)->at) + 1;
    return SQLITE_OK;
}

// Read only, and without a CREATE VIRTUAL TABLE: the module's name is the table's.
sqlite3_module valueTableModule()
{
    sqlite3_module module {};
    module.iVersion = 1;
    module.xConnect = connect;
    module.xBestIndex = bestIndex;
    module.xDisconnect = disconnect;
    module.xDestroy = disconnect;
    module.xOpen = open;
    module.xClose = close;
    module.xFilter = filter;
    module.xNext = next;
    module.xEof = eof;
    module.xColumn = column;
    module.xRowid = rowid;
    return module;
}

} // namespace

bool registerValueTable(sqlite3* db, ValueTableSource* source)
{
    static const sqlite3_module module = valueTableModule();
    return sqlite3_create_module_v2(db, db::kValueTable, &module, source, nullptr) == SQLITE_OK;
}

} // namespace quel::db_sqlite
