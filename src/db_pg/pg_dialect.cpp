#include "db_pg/pg_dialect.h"

#include <QSet>

namespace quel::db_pg {

using db::ColumnInfo;
using db::ColumnKind;
using db::JetSchema;
using db::quoteName;
using namespace jet;

namespace {

// SQLite matches names ignoring the case of ASCII letters only.
QString asciiLower(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c.unicode() >= u'A' && c.unicode() <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return out;
}

// Words that are never names, however they are spelled.
const QSet<QString>& keywords()
{
    static const QSet<QString> words { "ADD", "ALL", "ALTER", "ANALYZE", "AND", "ANY", "AS", "ASC",
        "BEGIN", "BETWEEN", "BY", "CASCADE", "CASE", "CHECK", "COLLATE", "COLUMN", "COMMIT",
        "CONFLICT", "CONSTRAINT", "CREATE", "CROSS", "CURRENT_DATE", "CURRENT_TIMESTAMP", "DEFAULT",
        "DELETE", "DESC", "DISTINCT", "DO", "DROP", "ELSE", "END", "ESCAPE", "EXCEPT", "EXCLUDED",
        "EXISTS", "FALSE", "FIRST", "FOR", "FOREIGN", "FROM", "FULL", "GROUP", "HAVING", "IF",
        "ILIKE", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "ISNULL", "JOIN",
        "KEY", "LAST", "LEFT", "LIKE", "LIMIT", "LOCALTIMESTAMP", "LOCKED", "NATURAL", "NOT",
        "NOTHING", "NOTNULL", "NOWAIT", "NULL", "NULLS", "OFFSET", "ON", "OR", "ORDER", "OUTER",
        "PRIMARY", "REFERENCES", "RELEASE", "RETURNING", "RIGHT", "ROLLBACK", "SAVEPOINT", "SELECT",
        "SET", "SKIP", "TABLE", "TEMP", "TEMPORARY", "THEN", "TO", "TRANSACTION", "TRUE", "UNION",
        "UNIQUE", "UPDATE", "USING", "VACUUM", "VALUES", "WHEN", "WHERE", "WITH" };
    return words;
}

// Type names, as in CAST(x AS type): names only when a column of the statement's tables is
// called so.
const QSet<QString>& typeWords()
{
    static const QSet<QString> words { "BIGINT", "BOOLEAN", "CHAR", "CITEXT", "DATE", "DOUBLE",
        "FLOAT", "INT", "INTEGER", "NUMERIC", "PRECISION", "REAL", "SMALLINT", "TEXT", "TIMESTAMP",
        "VARCHAR" };
    return words;
}

Token raw(const QString& text)
{
    return { Tok::Symbol, text, true };
}

bool isPlainWord(const Token& t)
{
    return t.kind == Tok::Word && !t.raw && !isQuotedName(t.text);
}

// A TRUE or FALSE where the engine expects a condition: WHERE FALSE, x AND TRUE, ON TRUE.
bool conditionExpected(const Tokens& tokens, size_t i)
{
    static const QSet<QString> ops { "=", "==", "<>", "<", ">", "<=", ">=", "!=", "+", "-", "*",
        "/" };
    const size_t next = skipSpace(tokens, i + 1);
    if (next < tokens.size() && tokens[next].kind == Tok::Symbol && ops.contains(tokens[next].text))
        return false;
    size_t p = previousToken(tokens, i);
    while (p != SIZE_MAX && isSymbol(tokens, p, "("))
        p = previousToken(tokens, p);
    static const QSet<QString> words { "WHERE", "AND", "OR", "NOT", "ON", "HAVING", "WHEN" };
    return p != SIZE_MAX && tokens[p].kind == Tok::Word && words.contains(tokens[p].upper());
}

// The arguments of the call whose "(" is at open: token ranges [first, last).
std::vector<std::pair<size_t, size_t>> callArguments(
    const Tokens& tokens, size_t open, size_t close)
{
    std::vector<std::pair<size_t, size_t>> args;
    if (skipSpace(tokens, open + 1) >= close)
        return args;
    int depth = 0;
    size_t start = open + 1;
    for (size_t i = open + 1; i < close; ++i) {
        if (isSymbol(tokens, i, "("))
            ++depth;
        else if (isSymbol(tokens, i, ")"))
            --depth;
        else if (depth == 0 && isSymbol(tokens, i, ",")) {
            args.emplace_back(start, i);
            start = i + 1;
        }
    }
    args.emplace_back(start, close);
    return args;
}

// The one token of an argument, or SIZE_MAX when it has more (or none).
size_t soleToken(const Tokens& tokens, std::pair<size_t, size_t> arg)
{
    const size_t first = skipSpace(tokens, arg.first);
    if (first >= arg.second)
        return SIZE_MAX;
    return skipSpace(tokens, first + 1) >= arg.second ? first : SIZE_MAX;
}

// date(x [, modifiers]) as SQLite writes it: the day 'YYYY-MM-DD' as text. The forms the
// program uses: the day itself, the Monday of its week, the first of its month or year.
bool rewriteDateCall(Tokens& tokens, size_t at, size_t open, size_t close, QString* error)
{
    const auto args = callArguments(tokens, open, close);
    if (args.empty())
        return true; // today: left to the engine
    QStringList modifiers;
    for (size_t a = 1; a < args.size(); ++a) {
        const size_t m = soleToken(tokens, args[a]);
        if (m == SIZE_MAX || tokens[m].kind != Tok::Text) {
            if (error)
                *error = QStringLiteral("date() modifiers must be quoted texts");
            return false;
        }
        modifiers << tokens[m].text.simplified().toLower();
    }
    QString unit;
    const QString joined = modifiers.join(u'|');
    if (joined == QLatin1String("start of month"))
        unit = QStringLiteral("month");
    else if (joined == QLatin1String("start of year"))
        unit = QStringLiteral("year");
    else if (joined == QLatin1String("weekday 0|-6 days"))
        unit = QStringLiteral("week"); // on to the Sunday, back to its Monday
    else if (!joined.isEmpty() && joined != QLatin1String("start of day")) {
        if (error)
            *error = QStringLiteral("date() with '%1' has no PostgreSQL form")
                         .arg(modifiers.join(QStringLiteral("', '")));
        return false;
    }
    Tokens out;
    out.push_back(raw(unit.isEmpty() ? QStringLiteral("to_char(CAST(")
                                     : QStringLiteral("to_char(date_trunc('%1',CAST(").arg(unit)));
    out.insert(out.end(), tokens.begin() + static_cast<long>(args[0].first),
        tokens.begin() + static_cast<long>(args[0].second));
    out.push_back(raw(unit.isEmpty() ? QStringLiteral(" AS timestamp),'YYYY-MM-DD')")
                                     : QStringLiteral(" AS timestamp)),'YYYY-MM-DD')")));
    tokens.erase(
        tokens.begin() + static_cast<long>(at), tokens.begin() + static_cast<long>(close + 1));
    tokens.insert(tokens.begin() + static_cast<long>(at), out.begin(), out.end());
    return true;
}

// Wraps tokens [first, close] as CAST(... AS type); returns the index just after the cast's
// opening token.
void castCall(Tokens& tokens, size_t first, size_t close, const QString& type)
{
    tokens.insert(
        tokens.begin() + static_cast<long>(close + 1), raw(QStringLiteral(" AS ") + type + u')'));
    tokens.insert(tokens.begin() + static_cast<long>(first), raw(QStringLiteral("CAST(")));
}

bool rewriteFunctions(Tokens& tokens,
    const std::function<ColumnKind(const QString&, const QString&)>& columnKind, QString* error)
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isPlainWord(tokens[i]))
            continue;
        const size_t open = skipSpace(tokens, i + 1);
        if (!isSymbol(tokens, open, "("))
            continue;
        const size_t close = closingParen(tokens, open);
        if (close >= tokens.size())
            continue; // the engine reports it
        const QString name = tokens[i].upper();
        if (name == QLatin1String("AVG")) {
            // SQLite's average is always a double; the server's is numeric for integers.
            castCall(tokens, i, close, QStringLiteral("double precision"));
            ++i;
        } else if (name == QLatin1String("SUM")) {
            // A sum of an integer column stays an integer, as on SQLite (numeric otherwise).
            const auto args = callArguments(tokens, open, close);
            if (args.size() != 1)
                continue;
            const size_t first = skipSpace(tokens, args[0].first);
            size_t last = args[0].second;
            while (last > first && tokens[last - 1].kind == Tok::Space)
                --last;
            QString column;
            QString table;
            if (last == first + 1 && tokens[first].kind == Tok::Word) {
                column = tokens[first].text;
            } else if (last == first + 3 && tokens[first].kind == Tok::Word
                && isSymbol(tokens, first + 1, ".") && tokens[first + 2].kind == Tok::Word) {
                table = tokens[first].text;
                column = tokens[first + 2].text;
            }
            if (!column.isEmpty()
                && columnKind(bareName(column), bareName(table)) == ColumnKind::Integer) {
                castCall(tokens, i, close, QStringLiteral("bigint"));
                ++i;
            }
        } else if (name == QLatin1String("ROUND")) {
            // The server rounds to places only a numeric; SQLite's result is a double.
            const auto args = callArguments(tokens, open, close);
            if (args.size() != 2)
                continue;
            const size_t first = args[0].first;
            const size_t end = args[0].second;
            tokens.insert(
                tokens.begin() + static_cast<long>(end), raw(QStringLiteral(" AS numeric)")));
            tokens.insert(tokens.begin() + static_cast<long>(first), raw(QStringLiteral("CAST(")));
            castCall(tokens, i, closingParen(tokens, open), QStringLiteral("double precision"));
            ++i;
        } else if (name == QLatin1String("IFNULL")) {
            tokens[i] = raw(QStringLiteral("coalesce"));
        } else if (name == QLatin1String("INSTR")) {
            tokens[i] = raw(QStringLiteral("strpos"));
        } else if (name == QLatin1String("DATE")) {
            if (!rewriteDateCall(tokens, i, open, close, error))
                return false;
        }
    }
    return true;
}

// SQLite's collations: BINARY compares the bytes, NOCASE ignores ASCII letter case. The
// server casts the operand before it: text in the "C" collation, or citext in it.
bool rewriteCollations(Tokens& tokens, QString* error)
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isPlainWord(tokens[i]) || tokens[i].upper() != QLatin1String("COLLATE"))
            continue;
        const size_t name = skipSpace(tokens, i + 1);
        if (name >= tokens.size() || tokens[name].kind != Tok::Word)
            continue; // the engine reports it
        const QString collation = bareName(tokens[name].text).toUpper();
        QString form;
        if (collation == QLatin1String("BINARY"))
            form = QStringLiteral("::text COLLATE \"C\"");
        else if (collation == QLatin1String("NOCASE"))
            form = QStringLiteral("::citext COLLATE \"C\"");
        else if (collation == QLatin1String("C"))
            continue;
        else {
            if (error)
                *error = QStringLiteral("COLLATE %1 has no PostgreSQL form").arg(tokens[name].text);
            return false;
        }
        // "x COLLATE BINARY": the cast follows the operand directly.
        size_t from = i;
        while (from > 0 && tokens[from - 1].kind == Tok::Space)
            --from;
        tokens.erase(
            tokens.begin() + static_cast<long>(from), tokens.begin() + static_cast<long>(name + 1));
        tokens.insert(tokens.begin() + static_cast<long>(from), raw(form));
        i = from;
    }
    return true;
}

// The server's LIKE treats a backslash as an escape character; SQLite's has none.
void rewriteLike(Tokens& tokens)
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isPlainWord(tokens[i]) || tokens[i].upper() != QLatin1String("LIKE"))
            continue;
        const size_t v = skipSpace(tokens, i + 1);
        if (v >= tokens.size() || tokens[v].kind != Tok::Text || !tokens[v].text.contains(u'\\'))
            continue;
        if (isWord(tokens, skipSpace(tokens, v + 1), "ESCAPE"))
            continue;
        tokens.insert(tokens.begin() + static_cast<long>(v + 1), raw(QStringLiteral(" ESCAPE ''")));
    }
}

// SQLite sorts NULLs first in ascending order and last in descending order; the server the
// other way round. Every ORDER BY item says where its NULLs go.
void rewriteOrderBy(Tokens& tokens)
{
    static const QSet<QString> ends { "LIMIT", "OFFSET", "UNION", "EXCEPT", "INTERSECT", "ON",
        "FOR" };
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isWord(tokens, i, "ORDER") || !isWord(tokens, skipSpace(tokens, i + 1), "BY"))
            continue;
        size_t k = skipSpace(tokens, i + 1) + 1;
        size_t itemStart = k;
        int depth = 0;
        bool stop = false;
        while (!stop) {
            bool itemEnds = k >= tokens.size();
            if (!itemEnds) {
                if (isSymbol(tokens, k, "(")) {
                    ++depth;
                } else if (isSymbol(tokens, k, ")")) {
                    itemEnds = depth == 0;
                    --depth;
                } else if (depth == 0 && isSymbol(tokens, k, ",")) {
                    itemEnds = true;
                } else if (depth == 0
                    && ((tokens[k].kind == Tok::Word && ends.contains(tokens[k].upper()))
                        || isSymbol(tokens, k, ";"))) {
                    itemEnds = true;
                }
            }
            if (!itemEnds) {
                ++k;
                continue;
            }
            stop = !(k < tokens.size() && isSymbol(tokens, k, ","));
            const size_t last = previousToken(tokens, k);
            bool placed = false;
            for (size_t j = itemStart; j < k; ++j)
                placed = placed || isWord(tokens, j, "NULLS");
            if (!placed && last != SIZE_MAX && last >= itemStart) {
                tokens.insert(tokens.begin() + static_cast<long>(last + 1),
                    raw(isWord(tokens, last, "DESC") ? QStringLiteral(" NULLS LAST")
                                                     : QStringLiteral(" NULLS FIRST")));
                ++k;
            }
            ++k;
            itemStart = k;
        }
        i = k;
    }
}

} // namespace

QString postgresType(const QString& jetType, bool keyFollows)
{
    switch (classifyJetType(jetType)) {
    case JetType::Counter:
        // Numbered by the server when no ID is written, as SQLite numbers its rowid.
        return keyFollows ? QStringLiteral("bigint GENERATED BY DEFAULT AS IDENTITY")
                          : QStringLiteral("bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
    case JetType::Integer:
        return QStringLiteral("bigint");
    case JetType::Real:
        return QStringLiteral("double precision");
    case JetType::Date:
        return QStringLiteral("timestamp(0)");
    case JetType::Text:
        return QStringLiteral("citext COLLATE \"C\"");
    case JetType::None:
        break;
    }
    return {};
}

QString postgresTypeForKind(const ColumnInfo& column)
{
    switch (column.kind) {
    case ColumnKind::Text:
        return postgresType(QStringLiteral("TEXT"), false);
    case ColumnKind::Integer:
        return postgresType(QStringLiteral("LONG"), false);
    case ColumnKind::Real:
        return postgresType(QStringLiteral("DOUBLE"), false);
    case ColumnKind::Date:
        return postgresType(QStringLiteral("DATE"), false);
    case ColumnKind::Other:
        break;
    }
    // The server needs a type; text keeps whatever the column is given.
    return column.declType.isEmpty() ? QStringLiteral("text") : column.declType;
}

void rewriteBooleansForPostgres(Tokens& tokens)
{
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isPlainWord(tokens[i]))
            continue;
        const QString up = tokens[i].upper();
        if (up != QLatin1String("TRUE") && up != QLatin1String("FALSE"))
            continue;
        const bool isTrue = up == QLatin1String("TRUE");
        if (conditionExpected(tokens, i))
            tokens[i] = raw(up);
        else
            tokens[i] = { Tok::Number, isTrue ? QStringLiteral("1") : QStringLiteral("0") };
    }
}

bool rewriteForPostgres(Tokens& tokens,
    const std::function<ColumnKind(const QString& column, const QString& table)>& columnKind,
    QString* error)
{
    if (!rewriteFunctions(tokens, columnKind, error) || !rewriteCollations(tokens, error))
        return false;
    rewriteLike(tokens);
    rewriteOrderBy(tokens);
    return true;
}

PostgresNames::PostgresNames(JetSchema& schema, const Tokens& tokens, const QStringList& tables)
    : m_schema(schema)
{
    for (const QString& table : tables) {
        const auto columns = schema.tableColumns(table);
        if (!columns)
            continue;
        for (const ColumnInfo& c : *columns) {
            const QString key = asciiLower(c.name);
            if (!m_columns.contains(key))
                m_columns.insert(key, c.name);
        }
    }
    const auto namesTable = [&](const Token& t) {
        return t.kind == Tok::Word && !t.raw
            && std::any_of(tables.begin(), tables.end(), [&](const QString& table) {
                   return table.compare(bareName(t.text), Qt::CaseInsensitive) == 0;
               });
    };
    // "x AS alias", and "FROM table alias" without the AS.
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isWord(tokens, i, "AS") && !namesTable(tokens[i]))
            continue;
        const size_t a = skipSpace(tokens, i + 1);
        if (a < tokens.size() && tokens[a].kind == Tok::Word && !tokens[a].raw
            && !keywords().contains(tokens[a].upper())) {
            const QString alias = bareName(tokens[a].text);
            if (!m_aliases.contains(asciiLower(alias)))
                m_aliases.insert(asciiLower(alias), alias);
        }
    }
}

QString PostgresNames::canonical(const QString& name)
{
    const QString key = asciiLower(name);
    if (const auto c = m_columns.constFind(key); c != m_columns.cend())
        return *c;
    if (!m_tables) {
        m_tables.emplace();
        for (const QString& table : m_schema.tableNames())
            m_tables->insert(asciiLower(table), table);
    }
    if (const auto t = m_tables->constFind(key); t != m_tables->cend())
        return *t;
    if (const auto a = m_aliases.constFind(key); a != m_aliases.cend())
        return *a;
    return name;
}

bool PostgresNames::isFunctionName(const Tokens& tokens, size_t i)
{
    if (!isSymbol(tokens, skipSpace(tokens, i + 1), "("))
        return false;
    // "INTO t(a,b)", "CREATE TABLE t (", "CREATE INDEX x ON t (c)": a table, not a call.
    const size_t p = previousToken(tokens, i);
    if (p == SIZE_MAX || tokens[p].kind != Tok::Word)
        return true;
    static const QSet<QString> tableBefore { "INTO", "TABLE", "EXISTS", "REFERENCES", "UPDATE" };
    const QString before = tokens[p].upper();
    if (tableBefore.contains(before))
        return false;
    if (before == QLatin1String("ON")) {
        for (size_t k = 0; k < p; ++k) {
            if (isWord(tokens, k, "INDEX"))
                return false;
        }
    }
    return true;
}

QString PostgresNames::wordText(const Tokens& tokens, size_t i)
{
    const Token& t = tokens[i];
    if (t.raw)
        return t.text;
    if (isQuotedName(t.text))
        return quoteName(canonical(bareName(t.text)));
    const QString up = t.upper();
    if (keywords().contains(up) || isFunctionName(tokens, i))
        return t.text;
    if (t.text.front().isDigit()) {
        bool number = false;
        t.text.toDouble(&number);
        if (number)
            return t.text; // 1e5
    }
    if (typeWords().contains(up) && !m_columns.contains(asciiLower(t.text)))
        return t.text;
    return quoteName(canonical(t.text));
}

QString PostgresNames::text(const Tokens& tokens, size_t from, size_t to)
{
    QString out;
    to = std::min(to, tokens.size());
    for (size_t i = from; i < to; ++i) {
        const Token& t = tokens[i];
        if (t.raw) {
            out += t.text;
            continue;
        }
        switch (t.kind) {
        case Tok::Text:
            out += quoteText(t.text);
            break;
        case Tok::Date:
            out += u'#' + t.text + u'#';
            break;
        case Tok::Word:
            out += wordText(tokens, i);
            break;
        case Tok::Symbol:
            // SQLite's "==" is the server's "=".
            out += t.text == QLatin1String("==") ? QStringLiteral("=") : t.text;
            break;
        default:
            out += t.text;
        }
    }
    return out;
}

namespace {

// ? and ?N as SQLite numbers them: a bare ? takes the number after the largest so far.
void rewriteParameters(Tokens& tokens)
{
    int largest = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (!isSymbol(tokens, i, "?") || tokens[i].raw)
            continue;
        int number = 0;
        if (i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Number) {
            bool ok = false;
            number = tokens[i + 1].text.toInt(&ok);
            if (ok && number > 0)
                tokens.erase(tokens.begin() + static_cast<long>(i + 1));
            else
                number = 0;
        }
        if (number == 0)
            number = largest + 1;
        largest = std::max(largest, number);
        tokens[i] = raw(u'$' + QString::number(number));
    }
}

// INSERT OR IGNORE / INSERT OR REPLACE: the words are taken out; the ON CONFLICT clause
// that does the same is returned (empty for a plain statement), or nullopt with a message.
std::optional<QString> conflictClause(Tokens& tokens, JetSchema& schema, QString* error)
{
    const size_t insert = skipSpace(tokens, 0);
    const size_t orAt = skipSpace(tokens, insert + 1);
    const size_t what = skipSpace(tokens, orAt + 1);
    if (!isWord(tokens, insert, "INSERT") || !isWord(tokens, orAt, "OR"))
        return QString();
    const bool replace = isWord(tokens, what, "REPLACE");
    if (!replace && !isWord(tokens, what, "IGNORE")) {
        if (error)
            *error = QStringLiteral("INSERT OR %1 has no PostgreSQL form")
                         .arg(what < tokens.size() ? tokens[what].text : QString());
        return std::nullopt;
    }
    tokens.erase(
        tokens.begin() + static_cast<long>(orAt), tokens.begin() + static_cast<long>(what + 2));
    if (!replace)
        return QStringLiteral(" ON CONFLICT DO NOTHING");

    const size_t into = skipSpace(tokens, insert + 1);
    const size_t tableAt = skipSpace(tokens, into + 1);
    if (!isWord(tokens, into, "INTO") || tableAt >= tokens.size()) {
        if (error)
            *error = QStringLiteral("INSERT OR REPLACE without a table");
        return std::nullopt;
    }
    const QString table = bareName(tokens[tableAt].text);
    const auto columns = schema.tableColumns(table);
    if (!columns) {
        if (error)
            *error = QStringLiteral("no such table: ") + table;
        return std::nullopt;
    }
    QStringList written;
    size_t k = skipSpace(tokens, tableAt + 1);
    if (isSymbol(tokens, k, "(")) {
        for (++k; k < tokens.size() && !isSymbol(tokens, k, ")"); ++k) {
            if (tokens[k].kind == Tok::Word)
                written << bareName(tokens[k].text);
        }
    } else {
        for (const ColumnInfo& c : *columns)
            written << c.name;
    }
    const auto isWritten = [&](const QString& name) {
        return std::any_of(written.begin(), written.end(),
            [&](const QString& w) { return w.compare(name, Qt::CaseInsensitive) == 0; });
    };
    for (const QStringList& key : schema.uniqueKeys(table)) {
        if (key.isEmpty() || !std::all_of(key.begin(), key.end(), isWritten))
            continue;
        // SQLite replaces the whole row: what the statement does not write goes back to its
        // default, as in a new row.
        QStringList sets;
        for (const ColumnInfo& c : *columns) {
            if (std::any_of(key.begin(), key.end(), [&](const QString& kc) {
                    return kc.compare(c.name, Qt::CaseInsensitive) == 0;
                }))
                continue;
            sets << quoteName(c.name) + u'='
                    + (isWritten(c.name) ? QStringLiteral("EXCLUDED.") + quoteName(c.name)
                                         : QStringLiteral("DEFAULT"));
        }
        QStringList target;
        for (const ColumnInfo& c : *columns) {
            if (std::any_of(key.begin(), key.end(), [&](const QString& kc) {
                    return kc.compare(c.name, Qt::CaseInsensitive) == 0;
                }))
                target << quoteName(c.name);
        }
        if (sets.isEmpty())
            return QStringLiteral(" ON CONFLICT (%1) DO NOTHING").arg(target.join(u','));
        return QStringLiteral(" ON CONFLICT (%1) DO UPDATE SET %2")
            .arg(target.join(u','), sets.join(u','));
    }
    if (error)
        *error
            = QStringLiteral("INSERT OR REPLACE into %1: no unique key among the written columns")
                  .arg(table);
    return std::nullopt;
}

} // namespace

std::optional<QString> nativeToPostgres(
    const QString& sqliteText, JetSchema& schema, QString* error)
{
    auto tokens = tokenize(sqliteText, error);
    if (!tokens)
        return std::nullopt;
    while (!tokens->empty()
        && (tokens->back().kind == Tok::Space || isSymbol(*tokens, tokens->size() - 1, ";")))
        tokens->pop_back();
    const QStringList tables = namedTables(*tokens);
    rewriteBooleansForPostgres(*tokens);
    rewriteParameters(*tokens);
    const auto conflict = conflictClause(*tokens, schema, error);
    if (!conflict)
        return std::nullopt;
    const auto columnKind = [&](const QString& column, const QString& table) {
        QStringList where = tables;
        if (!table.isEmpty() && schema.tableColumns(table))
            where = QStringList { table };
        for (const QString& t : where) {
            if (const auto columns = schema.tableColumns(t)) {
                for (const ColumnInfo& c : *columns) {
                    if (c.name.compare(column, Qt::CaseInsensitive) == 0)
                        return c.kind;
                }
            }
        }
        return ColumnKind::Other;
    };
    if (!rewriteForPostgres(*tokens, columnKind, error))
        return std::nullopt;
    PostgresNames names(schema, *tokens, tables);
    return names.text(*tokens) + *conflict;
}

QString postgresParameters(const QString& sql)
{
    if (!sql.contains(u'?'))
        return sql;
    auto tokens = tokenize(sql, nullptr);
    if (!tokens)
        return sql;
    rewriteParameters(*tokens);
    return joinTokens(*tokens);
}

namespace {

// The relations the program sees: the shared tables and this session's work tables.
constexpr char kVisibleTables[]
    = "c.relkind IN ('r','p') AND (c.relnamespace='public'::regnamespace OR "
      "c.relnamespace=pg_my_temp_schema())";

} // namespace

QString postgresTableListSql()
{
    return QStringLiteral("SELECT c.relname FROM pg_class c WHERE %1 ORDER BY c.oid")
        .arg(QLatin1String(kVisibleTables));
}

QString postgresTableLookupSql()
{
    // The "C" collation keeps lower() to ASCII letters, as SQLite's name matching.
    return QStringLiteral(
        "SELECT c.relname FROM pg_class c WHERE %1 AND lower(c.relname::text COLLATE \"C\")="
        "lower($1::text COLLATE \"C\") ORDER BY c.relnamespace=pg_my_temp_schema() DESC, "
        "c.relname::text=$1::text DESC LIMIT 1")
        .arg(QLatin1String(kVisibleTables));
}

QString postgresColumnListSql()
{
    return QStringLiteral(
        "SELECT a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_attribute a WHERE "
        "a.attrelid=(SELECT c.oid FROM pg_class c WHERE %1 AND c.relname=$1 ORDER BY "
        "c.relnamespace=pg_my_temp_schema() DESC LIMIT 1) AND a.attnum>0 AND NOT a.attisdropped "
        "ORDER BY a.attnum")
        .arg(QLatin1String(kVisibleTables));
}

ColumnKind postgresColumnKind(const QString& formatType)
{
    const QString t = formatType.toLower();
    if (t.startsWith(QLatin1String("citext")) || t.startsWith(QLatin1String("text"))
        || t.startsWith(QLatin1String("character")) || t.startsWith(QLatin1String("varchar")))
        return ColumnKind::Text;
    if (t == QLatin1String("bigint") || t == QLatin1String("integer")
        || t == QLatin1String("smallint"))
        return ColumnKind::Integer;
    if (t == QLatin1String("double precision") || t == QLatin1String("real")
        || t.startsWith(QLatin1String("numeric")))
        return ColumnKind::Real;
    if (t.startsWith(QLatin1String("timestamp")) || t == QLatin1String("date"))
        return ColumnKind::Date;
    return ColumnKind::Other;
}

std::pair<QString, QString> PostgresDialect::columnAsText(ColumnKind kind) const
{
    if (kind == ColumnKind::Date)
        return { QStringLiteral("to_char("),
            QStringLiteral(",'YYYY-MM-DD HH24:MI:SS') COLLATE \"C\"") };
    return { QStringLiteral("CAST("), QStringLiteral(" AS text) COLLATE \"C\"") };
}

QString postgresIdentityResyncSql(const QString& table, const QString& column)
{
    // pg_get_serial_sequence takes the table as SQL text: quoted, inside a quoted literal.
    return QStringLiteral("SELECT setval(pg_get_serial_sequence(%1,%2),"
                          "coalesce((SELECT max(%3) FROM %4),0)+1,false)")
        .arg(quoteText(quoteName(table)), quoteText(column), quoteName(column), quoteName(table));
}

} // namespace quel::db_pg
