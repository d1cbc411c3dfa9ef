// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/statement.h"
#include "db/translation.h"
#include "jet/jet_tokens.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace quel::jet {

// Writes a translation's tokens as one engine's text.
class TokenWriter
{
public:
    virtual ~TokenWriter() = default;
    virtual QString text(const Tokens& tokens, size_t from = 0, size_t to = SIZE_MAX) = 0;
};

// What a column (maybe qualified: table.column) of a statement holds.
using ColumnKindOf = std::function<db::ColumnKind(const QString& column, const QString& table)>;

// The forms in which the engines differ. The translator reads the Jet statement and gives it
// Jet's meaning; the engine's dialect says how that meaning is written in its text. Each
// engine implements one.
class JetDialect
{
public:
    virtual ~JetDialect() = default;

    // The column type for a Jet type word in a column definition; empty when the word is not
    // a Jet type. keyFollows: the definition names its own PRIMARY KEY.
    virtual QString columnType(const QString& jetType, bool keyFollows) const = 0;
    // The column type a SELECT ... INTO declares for a result column.
    virtual QString resultColumnType(const db::ColumnInfo& column) const = 0;

    // TRUE and FALSE as the engine reads them.
    virtual void rewriteBooleans(Tokens& tokens) const = 0;

    // Whether the engine compares only values of one type. Then a number compared with a
    // text column is a text, a text compared with a number column is a number, and a
    // literal that fits neither is compared with the column's text form (columnAsText).
    virtual bool comparesOneTypeOnly() const = 0;
    // What goes before and after a column of the given kind to compare its text form.
    virtual std::pair<QString, QString> columnAsText(db::ColumnKind kind) const = 0;

    // The function and clause forms that differ between the engines, once every value is
    // converted. False with a message for a form the engine has no counterpart for.
    virtual bool rewriteForms(Tokens& tokens, const ColumnKindOf& kindOf, QString* error) const = 0;

    // The writer of the finished tokens of a statement naming the given tables.
    virtual std::unique_ptr<TokenWriter> writer(
        db::JetSchema& schema, const Tokens& tokens, const QStringList& tables) const = 0;

    // Whether work tables (TEMP_*) are created as temporary tables, private to the session
    // (on a shared server).
    virtual bool workTablesAreTemporary() const = 0;
    // Whether the engine knows a column only by the spelling it was created with.
    virtual bool namesKeepCreatedSpelling() const = 0;
};

} // namespace quel::jet
