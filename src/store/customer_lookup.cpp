// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/customer_lookup.h"

#include "core/feedback.h"
#include "db/database.h"
#include "db/statement.h"
#include "db_sqlite/packed_date.h"
#include "store/kept_objects.h"

namespace quel::store {

namespace {

const QString T = QString::fromUtf8(kCustomerLookupTable);

// 客户表's columns, in its order; the dates are the ones packed.
const QStringList kColumns = { QStringLiteral("ID"), QStringLiteral("BCode"),
    QStringLiteral("BName"), QStringLiteral("SLevel"), QStringLiteral("BLevel"),
    QStringLiteral("Prov"), QStringLiteral("Regi"), QStringLiteral("rDat"), QStringLiteral("lDat"),
    QStringLiteral("dDat") };

bool isDate(const QString& column)
{
    return column.endsWith(QLatin1String("Dat"));
}

// The copy's values of the 客户表 row `row` ("NEW", "OLD" or the table), in the copy's
// column order.
QString copiedValues(const QString& row)
{
    QStringList values { row + QStringLiteral(".BCode"), row + QStringLiteral(".ID") };
    for (const QString& column : kColumns.mid(2)) {
        const QString value = row + u'.' + column;
        values << (isDate(column) ? db_sqlite::packedDateSql(value) : value);
    }
    return values.join(u',');
}

// No type for the copied values, so that each is kept exactly as 客户表 holds it. The key's
// columns have defaults, so that INSERT OR REPLACE can never fail on them: a trigger statement
// that may fail makes every write of 客户表 keep a statement journal.
QString tableStatement()
{
    return QStringLiteral("CREATE TABLE %1 (BCode TEXT COLLATE NOCASE NOT NULL DEFAULT '', ID "
                          "INTEGER NOT NULL DEFAULT 0, BName, SLevel, BLevel, Prov, Regi, rDat, "
                          "lDat, dDat, PRIMARY KEY (BCode, ID)) WITHOUT ROWID")
        .arg(T);
}

QString removal(const QString& row)
{
    return QStringLiteral("DELETE FROM %1 WHERE BCode=%2.BCode AND ID=%2.ID").arg(T, row);
}

QStringList triggerStatements()
{
    const QString insert = QStringLiteral("INSERT OR REPLACE INTO %1 SELECT %2 WHERE "
                                          "NEW.BCode IS NOT NULL")
                               .arg(T, copiedValues(QStringLiteral("NEW")));
    return {
        QStringLiteral("CREATE TRIGGER %1_新增 AFTER INSERT ON 客户表 BEGIN %2; END")
            .arg(T, insert),
        QStringLiteral("CREATE TRIGGER %1_删除 AFTER DELETE ON 客户表 BEGIN %2; END")
            .arg(T, removal(QStringLiteral("OLD"))),
        QStringLiteral("CREATE TRIGGER %1_修改 AFTER UPDATE ON 客户表 BEGIN %2; %3; END")
            .arg(T, removal(QStringLiteral("OLD")), insert),
    };
}

QString fillStatement()
{
    return QStringLiteral("INSERT INTO %1 SELECT %2 FROM 客户表 WHERE BCode IS NOT NULL ORDER BY "
                          "BCode, ID")
        .arg(T, copiedValues(QStringLiteral("客户表")));
}

bool copiesCustomerTable(db::Database& db)
{
    const auto columns = db.tableColumns(QStringLiteral("客户表"));
    if (!columns || columns->size() != size_t(kColumns.size()))
        return false;
    for (qsizetype i = 0; i < kColumns.size(); ++i) {
        if (columns->at(size_t(i)).name.compare(kColumns.at(i), Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

} // namespace

QStringList customerLookupStatements()
{
    static const QStringList statements = QStringList { tableStatement() } + triggerStatements();
    return statements;
}

bool CanKeepCustomerLookup(db::Database& db)
{
    return !db.isServer() && copiesCustomerTable(db);
}

bool HasCustomerLookup(db::Database& db)
{
    if (!CanKeepCustomerLookup(db))
        return false;
    return StoredAsWritten(StoredObjects(db, T), customerLookupStatements());
}

bool DropCustomerLookup(db::Database& db, QString* error)
{
    return DropKeptObjects(db, T, error);
}

bool RebuildCustomerLookup(db::Database& db, QString* error, core::Feedback* feedback)
{
    if (db.isServer())
        return true;
    if (!copiesCustomerTable(db)) {
        if (error)
            *error = QStringLiteral("客户表 has other columns than the copy");
        return false;
    }
    // Closing the window stops before the end; the copy is made on another open.
    return InSavepoint(db, QStringLiteral("lookup"), error, [&] {
        bool ok = DropKeptObjects(db, T, error) && RunNative(db, tableStatement(), error)
            && RunNative(db, fillStatement(), error);
        for (const QString& statement : triggerStatements())
            ok = ok && RunNative(db, statement, error);
        return ok && StepUnlessClosed(feedback, error);
    });
}

QString customerLookupColumns(const QString& alias)
{
    QStringList columns;
    for (const QString& column : kColumns) {
        const QString value = alias + u'.' + column;
        columns << (isDate(column)
                ? QStringLiteral("%1(%2) AS %3")
                      .arg(QLatin1String(db_sqlite::kUnpackDateFunction), value, column)
                : value);
    }
    return columns.join(u',');
}

} // namespace quel::store
