// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

struct sqlite3;

namespace quel::db_sqlite {

// A stored date ("YYYY-MM-DD HH:MM:SS", 19 bytes of text) packed into an integer of four or
// six bytes, for copies of a table kept narrow so that fewer pages are read and decrypted.
// The packing is plain SQL (any writer of the file, triggers included, can run it); reading
// back goes through the function kUnpackDateFunction, which this engine adds to each of its
// connections.
//
// A text in the stored form with a year from 1000 packs to YYYYMMDD when its time is
// midnight and to YYYYMMDDHHMMSS otherwise, and the default 1900-01-01 00:00:00 to 0. An
// integer is kept as its decimal text (a DATE column turns that text back into the same
// integer); every other value (other texts, reals, NULL, blobs) is kept as it is, so
// unpacking gives back exactly what was packed.
inline constexpr char kUnpackDateFunction[] = "quel_unpack_date";

// The SQL expression packing the date held by `expr` (evaluated several times).
QString packedDateSql(const QString& expr);

// The stored text of a packed integer; empty when the integer is none the packing makes.
std::string unpackedDateText(long long packed);

// Adds kUnpackDateFunction to the connection. False when the engine refused it.
bool registerUnpackDateFunction(sqlite3* db);

} // namespace quel::db_sqlite
