#include "store/jet_sql.h"

#include "store/jet_date.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace quel::store {

namespace {

enum class Tok
{
    Space,
    Word,
    Number,
    Text,
    Date,
    Symbol
};

struct Token
{
    Tok kind;
    QString text; // as written; for Text the value without quotes, for Date the inside
    QString upper() const { return text.toUpper(); }
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c.unicode() >= 0x80;
}

// Splits Jet text into tokens; nullopt with a message for an unterminated literal.
std::optional<std::vector<Token>> tokenize(const QString& sql, QString* error)
{
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && sql[i].isSpace())
                ++i;
            tokens.push_back({ Tok::Space, sql.mid(start, i - start) });
        } else if (c == u'\'') {
            QString value;
            ++i;
            bool closed = false;
            while (i < n) {
                if (sql[i] == u'\'') {
                    if (i + 1 < n && sql[i + 1] == u'\'') {
                        value += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += sql[i++];
            }
            if (!closed) {
                if (error)
                    *error = QStringLiteral("unterminated text literal");
                return std::nullopt;
            }
            tokens.push_back({ Tok::Text, value });
        } else if (c == u'#') {
            const qsizetype end = sql.indexOf(u'#', i + 1);
            if (end < 0) {
                if (error)
                    *error = QStringLiteral("unterminated date literal");
                return std::nullopt;
            }
            tokens.push_back({ Tok::Date, sql.mid(i + 1, end - i - 1) });
            i = end + 1;
        } else if (c == u'[' || c == u'"' || c == u'`') {
            const QChar close = c == u'[' ? u']' : c;
            const qsizetype end = sql.indexOf(close, i + 1);
            if (end < 0) {
                if (error)
                    *error = QStringLiteral("unterminated name");
                return std::nullopt;
            }
            // A quoted name is a word; keep its quotes so SQLite reads it the same way.
            tokens.push_back({ Tok::Word, sql.mid(i, end - i + 1) });
            i = end + 1;
        } else if (c.isDigit()) {
            while (i < n && (sql[i].isDigit() || sql[i] == u'.'))
                ++i;
            // Digits glued to letters (a name such as 1a) stay one word.
            if (i < n && isWordChar(sql[i])) {
                while (i < n && isWordChar(sql[i]))
                    ++i;
                tokens.push_back({ Tok::Word, sql.mid(start, i - start) });
            } else {
                tokens.push_back({ Tok::Number, sql.mid(start, i - start) });
            }
        } else if (isWordChar(c)) {
            while (i < n && isWordChar(sql[i]))
                ++i;
            tokens.push_back({ Tok::Word, sql.mid(start, i - start) });
        } else {
            static const QSet<QString> twoChar { QStringLiteral("<>"), QStringLiteral("<="),
                QStringLiteral(">="), QStringLiteral("!="), QStringLiteral("=="),
                QStringLiteral("||") };
            if (i + 1 < n && twoChar.contains(sql.mid(i, 2))) {
                tokens.push_back({ Tok::Symbol, sql.mid(i, 2) });
                i += 2;
            } else {
                tokens.push_back({ Tok::Symbol, QString(c) });
                ++i;
            }
        }
    }
    return tokens;
}

QString quoteText(const QString& value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

QString quoteName(const QString& name)
{
    QString out = name;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

// A name as written: [x], "x" and `x` without their quotes.
QString bareName(const QString& word)
{
    if (word.size() >= 2 && (word.front() == u'[' || word.front() == u'"' || word.front() == u'`'))
        return word.mid(1, word.size() - 2);
    return word;
}

QString joinTokens(const std::vector<Token>& tokens, size_t from = 0, size_t to = SIZE_MAX)
{
    QString out;
    to = std::min(to, tokens.size());
    for (size_t i = from; i < to; ++i) {
        const Token& t = tokens[i];
        switch (t.kind) {
        case Tok::Text:
            out += quoteText(t.text);
            break;
        case Tok::Date:
            out += u'#' + t.text + u'#';
            break;
        default:
            out += t.text;
        }
    }
    return out;
}

// Index of the next non-space token at or after i; tokens.size() when none.
size_t skipSpace(const std::vector<Token>& tokens, size_t i)
{
    while (i < tokens.size() && tokens[i].kind == Tok::Space)
        ++i;
    return i;
}

bool isWord(const std::vector<Token>& tokens, size_t i, const char* upper)
{
    return i < tokens.size() && tokens[i].kind == Tok::Word
        && tokens[i].upper() == QLatin1String(upper);
}

bool isSymbol(const std::vector<Token>& tokens, size_t i, const char* symbol)
{
    return i < tokens.size() && tokens[i].kind == Tok::Symbol
        && tokens[i].text == QLatin1String(symbol);
}

// The SQLite column type for a Jet type word; empty when the word is not a Jet type.
QString sqliteType(const QString& jetType)
{
    const QString t = jetType.toUpper();
    static const QSet<QString> integer { "LONG", "INTEGER", "INT", "SHORT", "SMALLINT", "BYTE",
        "TINYINT", "BIT", "YESNO", "LOGICAL", "BIGINT", "INTEGER4", "INTEGER2", "LONGINT" };
    static const QSet<QString> real { "DOUBLE", "FLOAT", "SINGLE", "REAL", "CURRENCY", "MONEY",
        "NUMERIC", "DECIMAL", "NUMBER", "FLOAT8", "FLOAT4" };
    static const QSet<QString> date { "DATE", "DATETIME", "TIME", "TIMESTAMP" };
    static const QSet<QString> text { "STRING", "TEXT", "VARCHAR", "CHAR", "MEMO", "LONGTEXT",
        "NVARCHAR", "NCHAR", "CHARACTER", "NTEXT", "ALPHANUMERIC" };
    if (t == QLatin1String("COUNTER") || t == QLatin1String("AUTOINCREMENT"))
        return QStringLiteral("INTEGER PRIMARY KEY");
    if (integer.contains(t))
        return QStringLiteral("INTEGER");
    if (real.contains(t))
        return QStringLiteral("REAL");
    if (date.contains(t))
        return QStringLiteral("DATE");
    if (text.contains(t))
        return QStringLiteral("TEXT COLLATE NOCASE");
    return {};
}

QString typeForKind(const ColumnInfo& column)
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

// Rewrites one column definition's type word at tokens[i] (the token after the name).
void mapColumnType(std::vector<Token>& tokens, size_t typeAt)
{
    if (typeAt >= tokens.size() || tokens[typeAt].kind != Tok::Word)
        return;
    const QString mapped = sqliteType(tokens[typeAt].text);
    if (mapped.isEmpty())
        return;
    // Drop a size such as STRING(50) or DECIMAL(10,2).
    size_t next = skipSpace(tokens, typeAt + 1);
    if (isSymbol(tokens, next, "(")) {
        size_t close = next;
        while (close < tokens.size() && !isSymbol(tokens, close, ")"))
            ++close;
        if (close < tokens.size())
            tokens.erase(tokens.begin() + static_cast<long>(typeAt + 1),
                tokens.begin() + static_cast<long>(close + 1));
    }
    QString replacement = mapped;
    // "ID COUNTER PRIMARY KEY" and "ID COUNTER CONSTRAINT pk PRIMARY KEY": one key only.
    if (mapped.endsWith(QLatin1String("PRIMARY KEY"))) {
        for (size_t k = typeAt + 1;
             k < tokens.size() && !isSymbol(tokens, k, ",") && !isSymbol(tokens, k, ")"); ++k) {
            if (isWord(tokens, k, "PRIMARY")) {
                replacement = QStringLiteral("INTEGER");
                break;
            }
        }
    }
    tokens[typeAt].text = replacement;
}

const QSet<QString>& columnConstraintStarts()
{
    static const QSet<QString> words { "CONSTRAINT", "PRIMARY", "UNIQUE", "FOREIGN", "CHECK" };
    return words;
}

void translateCreateTable(std::vector<Token>& tokens, size_t openParen)
{
    int depth = 0;
    bool expectName = true;
    for (size_t i = openParen; i < tokens.size(); ++i) {
        if (isSymbol(tokens, i, "(")) {
            ++depth;
            if (depth == 1)
                expectName = true;
            continue;
        }
        if (isSymbol(tokens, i, ")")) {
            --depth;
            continue;
        }
        if (depth == 1 && isSymbol(tokens, i, ",")) {
            expectName = true;
            continue;
        }
        if (depth == 1 && expectName && tokens[i].kind == Tok::Word) {
            expectName = false;
            if (columnConstraintStarts().contains(tokens[i].upper()))
                continue;
            mapColumnType(tokens, skipSpace(tokens, i + 1));
        }
    }
}

// Converts a quoted value written into a column of the given kind; a value that is not of
// that kind is left as it stands for the engine.
void convertValue(Token& value, ColumnKind kind)
{
    if (value.kind != Tok::Text)
        return;
    if (kind == ColumnKind::Date) {
        if (value.text.trimmed().isEmpty()) {
            value = { Tok::Word, QStringLiteral("NULL") };
            return;
        }
        if (const auto date = parseDateText(value.text))
            value.text = canonicalDateText(*date);
    } else if (kind == ColumnKind::Integer || kind == ColumnKind::Real) {
        const QString trimmed = value.text.trimmed();
        if (trimmed.isEmpty()) {
            value = { Tok::Word, QStringLiteral("NULL") };
            return;
        }
        bool ok = false;
        const double number = trimmed.toDouble(&ok);
        if (ok && std::isfinite(number))
            value = { Tok::Number, trimmed };
    }
}

class Translator
{
public:
    Translator(std::vector<Token> tokens, JetSchema& schema, QString* error)
        : m_tokens(std::move(tokens))
        , m_schema(schema)
        , m_error(error)
    { }

    std::optional<JetTranslation> run();

private:
    bool fail(const QString& message)
    {
        if (m_error)
            *m_error = message;
        return false;
    }
    std::optional<std::vector<ColumnInfo>> columnsOf(const QString& table)
    {
        return m_schema.tableColumns(bareName(table));
    }
    void commonRewrites();
    void collectTables();
    ColumnKind kindOf(const QString& column, const QString& table = {});
    void convertComparisons();
    bool convertInsertValues(size_t tableAt);
    void convertUpdateSet(size_t tableAt);
    std::optional<JetTranslation> selectInto(size_t intoAt);
    std::optional<JetTranslation> insertSelectByName(size_t tableAt, size_t selectAt);

    std::vector<Token> m_tokens;
    JetSchema& m_schema;
    QString* m_error;
    QStringList m_tables;
};

void Translator::commonRewrites()
{
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        Token& t = m_tokens[i];
        if (t.kind == Tok::Word) {
            const QString up = t.upper();
            if (up == QLatin1String("TRUE"))
                t = { Tok::Number, QStringLiteral("1") };
            else if (up == QLatin1String("FALSE"))
                t = { Tok::Number, QStringLiteral("0") };
            else if (up == QLatin1String("LIKE")) {
                // Jet's wildcards * and ? are SQLite's % and _.
                const size_t v = skipSpace(m_tokens, i + 1);
                if (v < m_tokens.size() && m_tokens[v].kind == Tok::Text) {
                    m_tokens[v].text.replace(u'*', u'%');
                    m_tokens[v].text.replace(u'?', u'_');
                }
            }
        }
    }
}

// Tables the statement names (after FROM, JOIN, UPDATE, INTO), for typing its values.
void Translator::collectTables()
{
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        if (isWord(m_tokens, i, "FROM") || isWord(m_tokens, i, "JOIN")
            || isWord(m_tokens, i, "UPDATE") || isWord(m_tokens, i, "INTO")) {
            size_t k = skipSpace(m_tokens, i + 1);
            while (k < m_tokens.size() && m_tokens[k].kind == Tok::Word) {
                if (!m_tables.contains(bareName(m_tokens[k].text)))
                    m_tables << bareName(m_tokens[k].text);
                k = skipSpace(m_tokens, k + 1);
                // "FROM a AS x, b": skip an alias, continue after a comma.
                if (isWord(m_tokens, k, "AS"))
                    k = skipSpace(m_tokens, skipSpace(m_tokens, k + 1) + 1);
                if (!isSymbol(m_tokens, k, ","))
                    break;
                k = skipSpace(m_tokens, k + 1);
            }
        }
    }
}

ColumnKind Translator::kindOf(const QString& column, const QString& table)
{
    const QString name = bareName(column);
    const QStringList tables = table.isEmpty() ? m_tables : QStringList { bareName(table) };
    for (const QString& t : tables) {
        const auto columns = m_schema.tableColumns(t);
        if (!columns)
            continue;
        for (const ColumnInfo& c : *columns) {
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return c.kind;
        }
    }
    return ColumnKind::Other;
}

// "Dat >= '2026-1-1'": a quoted text compared with a DATE column is a date, as in Jet.
void Translator::convertComparisons()
{
    static const QSet<QString> ops { "=", "<>", "<", ">", "<=", ">=", "!=" };
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        if (m_tokens[i].kind != Tok::Symbol || !ops.contains(m_tokens[i].text))
            continue;
        const size_t v = skipSpace(m_tokens, i + 1);
        if (v >= m_tokens.size() || m_tokens[v].kind != Tok::Text)
            continue;
        // The column before the operator, maybe qualified: table.column.
        size_t c = i;
        while (c > 0 && m_tokens[c - 1].kind == Tok::Space)
            --c;
        if (c == 0 || m_tokens[c - 1].kind != Tok::Word)
            continue;
        const QString column = m_tokens[c - 1].text;
        QString table;
        if (c >= 3 && isSymbol(m_tokens, c - 2, ".") && m_tokens[c - 3].kind == Tok::Word)
            table = m_tokens[c - 3].text;
        if (kindOf(column, table) == ColumnKind::Date && !m_tokens[v].text.trimmed().isEmpty()) {
            if (const auto date = parseDateText(m_tokens[v].text))
                m_tokens[v].text = canonicalDateText(*date);
        }
    }
}

bool Translator::convertInsertValues(size_t tableAt)
{
    const auto columns = columnsOf(m_tokens[tableAt].text);
    if (!columns)
        return true; // the engine reports the missing table
    size_t k = skipSpace(m_tokens, tableAt + 1);
    QStringList names;
    if (isSymbol(m_tokens, k, "(")) {
        for (++k; k < m_tokens.size() && !isSymbol(m_tokens, k, ")"); ++k) {
            if (m_tokens[k].kind == Tok::Word)
                names << bareName(m_tokens[k].text);
        }
        k = skipSpace(m_tokens, k + 1);
    } else {
        for (const ColumnInfo& c : *columns)
            names << c.name;
    }
    if (!isWord(m_tokens, k, "VALUES"))
        return true;
    k = skipSpace(m_tokens, k + 1);
    if (!isSymbol(m_tokens, k, "("))
        return true;
    int depth = 0;
    int index = 0;
    std::vector<size_t> valueTokens;
    size_t valueStart = k + 1;
    auto finishValue = [&](size_t end) {
        // A value that is one quoted text (blanks around allowed) is converted.
        size_t first = skipSpace(m_tokens, valueStart);
        size_t last = end;
        while (last > first && m_tokens[last - 1].kind == Tok::Space)
            --last;
        if (last == first + 1 && index < names.size()) {
            const ColumnKind kind = kindOf(names[index], m_tokens[tableAt].text);
            convertValue(m_tokens[first], kind);
        }
        ++index;
    };
    for (size_t i = k; i < m_tokens.size(); ++i) {
        if (isSymbol(m_tokens, i, "(")) {
            ++depth;
        } else if (isSymbol(m_tokens, i, ")")) {
            if (--depth == 0) {
                finishValue(i);
                break;
            }
        } else if (depth == 1 && isSymbol(m_tokens, i, ",")) {
            finishValue(i);
            valueStart = i + 1;
        }
    }
    return true;
}

void Translator::convertUpdateSet(size_t tableAt)
{
    size_t k = skipSpace(m_tokens, tableAt + 1);
    if (!isWord(m_tokens, k, "SET"))
        return;
    int depth = 0;
    for (size_t i = k + 1; i < m_tokens.size(); ++i) {
        if (isSymbol(m_tokens, i, "("))
            ++depth;
        else if (isSymbol(m_tokens, i, ")"))
            --depth;
        else if (depth == 0 && isWord(m_tokens, i, "WHERE"))
            break;
        else if (depth == 0 && isSymbol(m_tokens, i, "=")) {
            size_t c = i;
            while (c > 0 && m_tokens[c - 1].kind == Tok::Space)
                --c;
            const size_t v = skipSpace(m_tokens, i + 1);
            if (c == 0 || m_tokens[c - 1].kind != Tok::Word || v >= m_tokens.size())
                continue;
            // Only a value that is one quoted text up to the next "," or WHERE.
            const size_t after = skipSpace(m_tokens, v + 1);
            if (after < m_tokens.size() && !isSymbol(m_tokens, after, ",")
                && !isWord(m_tokens, after, "WHERE") && !isSymbol(m_tokens, after, ";"))
                continue;
            convertValue(m_tokens[v], kindOf(m_tokens[c - 1].text, m_tokens[tableAt].text));
        }
    }
}

std::optional<JetTranslation> Translator::selectInto(size_t intoAt)
{
    const size_t targetAt = skipSpace(m_tokens, intoAt + 1);
    if (targetAt >= m_tokens.size() || m_tokens[targetAt].kind != Tok::Word) {
        fail(QStringLiteral("INTO without a table name"));
        return std::nullopt;
    }
    const QString target = m_tokens[targetAt].text;
    std::vector<Token> select(m_tokens.begin(), m_tokens.begin() + static_cast<long>(intoAt));
    select.insert(select.end(), m_tokens.begin() + static_cast<long>(targetAt + 1), m_tokens.end());
    const QString selectSql = joinTokens(select);
    QString error;
    const auto columns = m_schema.queryColumns(selectSql, &error);
    if (!columns) {
        fail(error);
        return std::nullopt;
    }
    QStringList definitions;
    QStringList names;
    for (const ColumnInfo& c : *columns) {
        const QString type = typeForKind(c);
        definitions << (type.isEmpty() ? quoteName(c.name) : quoteName(c.name) + u' ' + type);
        names << quoteName(c.name);
    }
    JetTranslation out;
    out.changesSchema = true;
    out.statements << QStringLiteral("CREATE TABLE %1 (%2)").arg(target, definitions.join(u','));
    out.statements
        << QStringLiteral("INSERT INTO %1 (%2) %3").arg(target, names.join(u','), selectSql);
    return out;
}

std::optional<JetTranslation> Translator::insertSelectByName(size_t tableAt, size_t selectAt)
{
    const QString selectSql = joinTokens(m_tokens, selectAt);
    QString error;
    const auto columns = m_schema.queryColumnNames(selectSql, &error);
    if (!columns) {
        fail(error);
        return std::nullopt;
    }
    const auto targetColumns = columnsOf(m_tokens[tableAt].text);
    if (!targetColumns) {
        fail(QStringLiteral("no such table: ") + bareName(m_tokens[tableAt].text));
        return std::nullopt;
    }
    QStringList names;
    for (const ColumnInfo& c : *columns) {
        const bool known = std::any_of(targetColumns->begin(), targetColumns->end(),
            [&](const ColumnInfo& t) { return t.name.compare(c.name, Qt::CaseInsensitive) == 0; });
        if (!known) {
            fail(QStringLiteral("unknown field name in INSERT INTO: ") + c.name);
            return std::nullopt;
        }
        names << quoteName(c.name);
    }
    JetTranslation out;
    out.statements << joinTokens(m_tokens, 0, tableAt + 1) + QStringLiteral(" (") + names.join(u',')
            + QStringLiteral(") ") + selectSql;
    return out;
}

std::optional<JetTranslation> Translator::run()
{
    // Trailing semicolons and blanks.
    while (!m_tokens.empty()
        && (m_tokens.back().kind == Tok::Space || isSymbol(m_tokens, m_tokens.size() - 1, ";")))
        m_tokens.pop_back();
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        if (isSymbol(m_tokens, i, ";")) {
            fail(QStringLiteral("more than one statement"));
            return std::nullopt;
        }
    }
    const size_t first = skipSpace(m_tokens, 0);
    if (first >= m_tokens.size() || m_tokens[first].kind != Tok::Word) {
        fail(QStringLiteral("empty statement"));
        return std::nullopt;
    }
    for (Token& t : m_tokens) {
        if (t.kind == Tok::Date) {
            const auto date = parseJetDateLiteral(t.text);
            if (!date) {
                fail(QStringLiteral("bad date literal #%1#").arg(t.text));
                return std::nullopt;
            }
            t = { Tok::Text, canonicalDateText(*date) };
        }
    }
    commonRewrites();
    collectTables();
    const QString verb = m_tokens[first].upper();
    JetTranslation out;

    if (verb == QLatin1String("SELECT")) {
        int depth = 0;
        for (size_t i = first; i < m_tokens.size(); ++i) {
            if (isSymbol(m_tokens, i, "("))
                ++depth;
            else if (isSymbol(m_tokens, i, ")"))
                --depth;
            else if (depth == 0 && isWord(m_tokens, i, "FROM"))
                break;
            else if (depth == 0 && isWord(m_tokens, i, "INTO")) {
                convertComparisons();
                return selectInto(i);
            }
        }
        convertComparisons();
        out.isQuery = true;
    } else if (verb == QLatin1String("DELETE")) {
        // "DELETE * FROM t" and "DELETE t.* FROM t": Jet names what it deletes.
        size_t from = first + 1;
        while (from < m_tokens.size() && !isWord(m_tokens, from, "FROM"))
            ++from;
        if (from < m_tokens.size())
            m_tokens.erase(m_tokens.begin() + static_cast<long>(first + 1),
                m_tokens.begin() + static_cast<long>(from));
        m_tokens.insert(
            m_tokens.begin() + static_cast<long>(first + 1), { Tok::Space, QStringLiteral(" ") });
        convertComparisons();
    } else if (verb == QLatin1String("INSERT")) {
        const size_t into = skipSpace(m_tokens, first + 1);
        const size_t tableAt = skipSpace(m_tokens, into + 1);
        if (isWord(m_tokens, into, "INTO") && tableAt < m_tokens.size()
            && m_tokens[tableAt].kind == Tok::Word) {
            const size_t next = skipSpace(m_tokens, tableAt + 1);
            if (isWord(m_tokens, next, "SELECT")) {
                convertComparisons();
                return insertSelectByName(tableAt, next);
            }
            convertInsertValues(tableAt);
        }
        convertComparisons();
    } else if (verb == QLatin1String("UPDATE")) {
        const size_t tableAt = skipSpace(m_tokens, first + 1);
        if (tableAt < m_tokens.size() && m_tokens[tableAt].kind == Tok::Word)
            convertUpdateSet(tableAt);
        convertComparisons();
    } else if (verb == QLatin1String("CREATE")) {
        out.changesSchema = true;
        const size_t what = skipSpace(m_tokens, first + 1);
        if (isWord(m_tokens, what, "TABLE")) {
            for (size_t i = what; i < m_tokens.size(); ++i) {
                if (isSymbol(m_tokens, i, "(")) {
                    translateCreateTable(m_tokens, i);
                    break;
                }
            }
        }
    } else if (verb == QLatin1String("ALTER")) {
        out.changesSchema = true;
        for (size_t i = first; i < m_tokens.size(); ++i) {
            if (isWord(m_tokens, i, "ADD")) {
                size_t name = skipSpace(m_tokens, i + 1);
                if (isWord(m_tokens, name, "COLUMN"))
                    name = skipSpace(m_tokens, name + 1);
                if (name < m_tokens.size()
                    && !columnConstraintStarts().contains(m_tokens[name].upper()))
                    mapColumnType(m_tokens, skipSpace(m_tokens, name + 1));
                break;
            }
        }
    } else if (verb == QLatin1String("DROP")) {
        out.changesSchema = true;
    }
    out.statements << joinTokens(m_tokens);
    return out;
}

} // namespace

std::optional<JetTranslation> translateJet(const QString& jetSql, JetSchema& schema, QString* error)
{
    auto tokens = tokenize(jetSql, error);
    if (!tokens)
        return std::nullopt;
    return Translator(std::move(*tokens), schema, error).run();
}

} // namespace quel::store
