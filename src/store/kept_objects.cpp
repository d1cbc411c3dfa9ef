// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/kept_objects.h"

#include "core/feedback.h"
#include "db/database.h"
#include "db/statement.h"

namespace quel::store {

QHash<QString, QString> StoredObjects(db::Database& db, const QString& prefix)
{
    QHash<QString, QString> stored;
    db::Statement stmt = db.prepareNative(QStringLiteral(
        "SELECT type,name,sql FROM sqlite_master WHERE type IN ('table','index','trigger') AND "
        "substr(name,1,length(?1))=?1"));
    if (!stmt)
        return stored;
    stmt.bindText(1, prefix);
    while (stmt.step() == db::StepResult::Row)
        stored.insert(stmt.text(0) + u' ' + stmt.text(1), stmt.text(2));
    return stored;
}

bool StoredAsWritten(const QHash<QString, QString>& stored, const QStringList& statements)
{
    if (stored.size() != statements.size())
        return false;
    for (const QString& statement : statements) {
        // "CREATE TABLE|INDEX|TRIGGER name ...": what sqlite_master keeps.
        const QString key
            = statement.section(u' ', 1, 1).toLower() + u' ' + statement.section(u' ', 2, 2);
        if (stored.value(key) != statement)
            return false;
    }
    return true;
}

bool DropKeptObjects(db::Database& db, const QString& prefix, QString* error)
{
    if (db.isServer())
        return true;
    const QHash<QString, QString> stored = StoredObjects(db, prefix);
    bool ok = true;
    for (const char* type : { "trigger", "table" }) {
        for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
            const QString name = it.key().section(u' ', 1);
            if (ok && it.key().section(u' ', 0, 0) == QLatin1String(type))
                ok = RunNative(
                    db, QStringLiteral("DROP %1 IF EXISTS \"%2\"").arg(type, name), error);
        }
    }
    db.schemaChanged();
    return ok;
}

bool InSavepoint(
    db::Database& db, const QString& name, QString* error, const std::function<bool()>& work)
{
    const QString savepoint = QStringLiteral("%1_%2").arg(name).arg(db.nextSavepointId());
    if (!db.beginSavepoint(savepoint)) {
        if (error)
            *error = db.lastErrorText();
        return false;
    }
    bool ok = work();
    if (ok)
        ok = db.releaseSavepoint(savepoint);
    if (!ok)
        db.rollbackSavepoint(savepoint);
    db.schemaChanged();
    return ok;
}

bool StepUnlessClosed(core::Feedback* feedback, QString* error)
{
    if (!feedback || !feedback->isIndicatorOpen())
        return true;
    feedback->indicatorStep(1, QStringLiteral("pages"));
    if (feedback->isIndicatorOpen())
        return true;
    if (error)
        *error = QStringLiteral("cancelled");
    return false;
}

bool RunNative(db::Database& db, const QString& sql, QString* error)
{
    QString why;
    if (db.executeNative(sql, &why))
        return true;
    if (error)
        *error = why;
    return false;
}

} // namespace quel::store
