// SPDX-License-Identifier: GPL-3.0-or-later
#include "db_sqlite/packed_date.h"

#include <sqlite3.h>

namespace quel::db_sqlite {

namespace {

constexpr long long kDefaultDate = 0;
constexpr long long kFirstDay = 10000000LL;
constexpr long long kLastDay = 99999999LL;
constexpr long long kFirstTime = 10000000000000LL;
constexpr long long kLastTime = 99999999999999LL;

// Writes `value` as `width` digits, most significant first.
char* digits(char* out, long long value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

constexpr char kDefaultText[] = "1900-01-01 00:00:00";
constexpr int kTextBytes = 19;

// The stored text of a packed integer into `text`; false when the integer is none the
// packing makes.
bool unpackInto(long long packed, char (&text)[kTextBytes])
{
    long long day = 0;
    long long time = 0;
    if (packed >= kFirstDay && packed <= kLastDay) {
        day = packed;
    } else if (packed >= kFirstTime && packed <= kLastTime) {
        day = packed / 1000000;
        time = packed % 1000000;
    } else {
        return false;
    }
    char* at = digits(text, day / 10000, 4);
    *at++ = '-';
    at = digits(at, day / 100 % 100, 2);
    *at++ = '-';
    at = digits(at, day % 100, 2);
    *at++ = ' ';
    at = digits(at, time / 10000, 2);
    *at++ = ':';
    at = digits(at, time / 100 % 100, 2);
    *at++ = ':';
    digits(at, time % 100, 2);
    return true;
}

// Called for every date of every row a list reads from a narrow copy: no allocation of its
// own, and the default date (most of the buyers never profiled) not even copied.
void unpack(sqlite3_context* context, int, sqlite3_value** args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_INTEGER) {
        const sqlite3_int64 packed = sqlite3_value_int64(args[0]);
        if (packed == kDefaultDate) {
            sqlite3_result_text(context, kDefaultText, kTextBytes, SQLITE_STATIC);
            return;
        }
        char text[kTextBytes];
        if (unpackInto(packed, text)) {
            sqlite3_result_text(context, text, kTextBytes, SQLITE_TRANSIENT);
            return;
        }
    }
    sqlite3_result_value(context, args[0]);
}

} // namespace

QString packedDateSql(const QString& expr)
{
    // GLOB's classes check every digit, so substr() only ever sees the stored form.
    const QString e = expr;
    const QString day = QStringLiteral("substr(%1,1,4)||substr(%1,6,2)||substr(%1,9,2)").arg(e);
    const QString time = QStringLiteral("substr(%1,12,2)||substr(%1,15,2)||substr(%1,18,2)").arg(e);
    const QString dayForm = QStringLiteral("'[1-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] ");
    const QString midnight = dayForm + QStringLiteral("00:00:00'");
    const QString anyTime = dayForm + QStringLiteral("[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'");
    return QStringLiteral("(CASE typeof(%1) WHEN 'text' THEN (CASE WHEN %1='1900-01-01 00:00:00' "
                          "THEN 0 WHEN %1 GLOB %2 THEN CAST(%4 AS INTEGER) WHEN %1 GLOB %3 THEN "
                          "CAST(%4||%5 AS INTEGER) ELSE %1 END) WHEN 'integer' THEN CAST(%1 AS "
                          "TEXT) ELSE %1 END)")
        .arg(e, midnight, anyTime, day, time);
}

std::string unpackedDateText(long long packed)
{
    if (packed == kDefaultDate)
        return kDefaultText;
    char text[kTextBytes];
    return unpackInto(packed, text) ? std::string(text, kTextBytes) : std::string();
}

bool registerUnpackDateFunction(sqlite3* db)
{
    return sqlite3_create_function(db, kUnpackDateFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
               nullptr, unpack, nullptr, nullptr)
        == SQLITE_OK;
}

} // namespace quel::db_sqlite
