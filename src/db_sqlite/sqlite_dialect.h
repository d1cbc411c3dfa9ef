// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "jet/jet_dialect.h"

namespace quel::db_sqlite {

// Jet statements as the embedded engine's text: Jet types become SQLite types (text columns
// compare, group and sort ignoring letter case), TRUE and FALSE become 1 and 0, and names
// stay as written, as SQLite matches them ignoring case.
class SqliteDialect final : public jet::JetDialect
{
public:
    QString columnType(const QString& jetType, bool keyFollows) const override;
    QString resultColumnType(const db::ColumnInfo& column) const override;
    void rewriteBooleans(jet::Tokens& tokens) const override;
    bool comparesOneTypeOnly() const override { return false; }
    std::pair<QString, QString> columnAsText(db::ColumnKind kind) const override;
    bool rewriteForms(
        jet::Tokens& tokens, const jet::ColumnKindOf& kindOf, QString* error) const override;
    std::unique_ptr<jet::TokenWriter> writer(
        db::JetSchema& schema, const jet::Tokens& tokens, const QStringList& tables) const override;
    // Work tables live in the connection's temporary store, kept in memory: written without
    // encryption, journal or checkpoint, and gone with the connection (the program dropped
    // them when it ended anyway).
    bool workTablesAreTemporary() const override { return true; }
    bool namesKeepCreatedSpelling() const override { return false; }
};

} // namespace quel::db_sqlite
