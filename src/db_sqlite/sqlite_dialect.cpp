// SPDX-License-Identifier: GPL-3.0-or-later
#include "db_sqlite/sqlite_dialect.h"

namespace quel::db_sqlite {

using db::ColumnKind;
using jet::JetType;
using jet::Tok;
using jet::Tokens;

namespace {

// The tokens as they stand: SQLite reads names in any letter case.
class PlainWriter final : public jet::TokenWriter
{
public:
    QString text(const Tokens& tokens, size_t from, size_t to) override
    {
        return jet::joinTokens(tokens, from, to);
    }
};

} // namespace

QString SqliteDialect::columnType(const QString& jetType, bool keyFollows) const
{
    switch (jet::classifyJetType(jetType)) {
    case JetType::Counter:
        // "ID COUNTER PRIMARY KEY": the key is named once.
        return keyFollows ? QStringLiteral("INTEGER") : QStringLiteral("INTEGER PRIMARY KEY");
    case JetType::Integer:
        return QStringLiteral("INTEGER");
    case JetType::Real:
        return QStringLiteral("REAL");
    case JetType::Date:
        return QStringLiteral("DATE");
    case JetType::Text:
        return QStringLiteral("TEXT COLLATE NOCASE");
    case JetType::None:
        break;
    }
    return {};
}

QString SqliteDialect::resultColumnType(const db::ColumnInfo& column) const
{
    switch (column.kind) {
    case ColumnKind::Text:
        return QStringLiteral("TEXT COLLATE NOCASE");
    case ColumnKind::Integer:
        return QStringLiteral("INTEGER");
    case ColumnKind::Real:
        return QStringLiteral("REAL");
    case ColumnKind::Date:
        return QStringLiteral("DATE");
    case ColumnKind::Other:
        break;
    }
    return column.declType;
}

void SqliteDialect::rewriteBooleans(Tokens& tokens) const
{
    for (jet::Token& t : tokens) {
        if (t.kind != Tok::Word)
            continue;
        const QString up = t.upper();
        if (up == QLatin1String("TRUE"))
            t = { Tok::Number, QStringLiteral("1") };
        else if (up == QLatin1String("FALSE"))
            t = { Tok::Number, QStringLiteral("0") };
    }
}

std::pair<QString, QString> SqliteDialect::columnAsText(ColumnKind /*kind*/) const
{
    // SQLite compares values of different types itself.
    return {};
}

bool SqliteDialect::rewriteForms(
    Tokens& /*tokens*/, const jet::ColumnKindOf& /*kindOf*/, QString* /*error*/) const
{
    // The translation's forms are SQLite's already.
    return true;
}

std::unique_ptr<jet::TokenWriter> SqliteDialect::writer(
    db::JetSchema& /*schema*/, const Tokens& /*tokens*/, const QStringList& /*tables*/) const
{
    return std::make_unique<PlainWriter>();
}

} // namespace quel::db_sqlite
