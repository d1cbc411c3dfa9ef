// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace quel::core {
class Feedback;
}
namespace quel::db {
class Database;
}

namespace quel::store {

// A narrow copy of 客户表 in buyer-code order, kept by triggers on 客户表 so that every
// writer keeps it true, and rebuilt from 客户表 whenever asked. The customer list looks a
// product's buyers up in it: one b-tree in code order instead of the code index and then the
// table, with the dates packed (see db_sqlite::packedDateSql), reads under half the pages a
// join with 客户表 reads, and on a big file most of a list's time is reading each page the
// first time. Only the embedded engine keeps it.
//
// 客户速查: 客户表's columns, key (BCode, ID), one row per 客户表 row with a buyer code.
inline constexpr char kCustomerLookupTable[] = "客户速查";

// The table and triggers (native SQLite text, in order).
QStringList customerLookupStatements();

// Whether the copy can be kept: a file whose 客户表 has the columns it copies.
bool CanKeepCustomerLookup(db::Database& db);

// Whether the database keeps the copy as this program makes it, for a 客户表 of the columns
// it copies.
bool HasCustomerLookup(db::Database& db);

// Drops the copy and makes it anew from 客户表, in one transaction (nested in the caller's,
// if any). One progress step through `feedback` when given; closing its window undoes the
// work and returns false. Does nothing on a server.
bool RebuildCustomerLookup(db::Database& db, QString* error, core::Feedback* feedback = nullptr);

// Drops the copy and its triggers (before emptying 客户表, which would run them once per row).
bool DropCustomerLookup(db::Database& db, QString* error);

// The result columns giving, from the copy's row `alias`, the values of "客户表.*" in
// 客户表's order and under its column names.
QString customerLookupColumns(const QString& alias);

} // namespace quel::store
