// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

namespace quel::core {
class Feedback;
}
namespace quel::db {
class Database;
}

namespace quel::store {

// The tables, indexes and triggers that the store keeps in a file under a name prefix of
// their own (the overview's sums, the customer copy): found, compared with what the program
// writes, and dropped together. Embedded engine only.

// Every table, index and trigger whose name starts with `prefix`, keyed "type name", with
// the statement the file keeps for it.
QHash<QString, QString> StoredObjects(db::Database& db, const QString& prefix);

// Whether `stored` is exactly what `statements` ("CREATE TABLE|INDEX|TRIGGER name ...")
// make.
bool StoredAsWritten(const QHash<QString, QString>& stored, const QStringList& statements);

// Drops every one of them (nothing on a server): the triggers first, which name the tables;
// a table's indexes go with it.
bool DropKeptObjects(db::Database& db, const QString& prefix, QString* error);

// Runs `work` in a savepoint named `name` with a number of its own (nested in the caller's
// transaction, if any): what it wrote is kept when it returns true and undone otherwise.
bool InSavepoint(
    db::Database& db, const QString& name, QString* error, const std::function<bool()>& work);

// One step of a rebuild's progress window, when there is one; false (the error "cancelled")
// once the user has closed it, which undoes the rebuild.
bool StepUnlessClosed(core::Feedback* feedback, QString* error);

// One native statement, its error into `error`.
bool RunNative(db::Database& db, const QString& sql, QString* error);

} // namespace quel::store
