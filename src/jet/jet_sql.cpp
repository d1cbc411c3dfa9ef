#include "jet/jet_sql.h"

#include "jet/jet_date.h"
#include "jet/jet_dialect.h"
#include "jet/jet_tokens.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace quel::jet {

using db::canonicalDateText;
using db::ColumnInfo;
using db::ColumnKind;
using db::JetSchema;
using db::JetTranslation;
using db::parseDateText;
using db::quoteName;

namespace {

// Rewrites one column definition's type word at tokens[i] (the token after the name).
void mapColumnType(Tokens& tokens, size_t typeAt, const JetDialect& dialect)
{
    if (typeAt >= tokens.size() || tokens[typeAt].kind != Tok::Word)
        return;
    // A type the engine knows by this name (or reports as unknown), or the translation's
    // own: never a column name.
    tokens[typeAt].raw = true;
    if (classifyJetType(tokens[typeAt].text) == JetType::None)
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
    // "ID COUNTER PRIMARY KEY" and "ID COUNTER CONSTRAINT pk PRIMARY KEY": one key only.
    bool keyFollows = false;
    for (size_t k = typeAt + 1;
         k < tokens.size() && !isSymbol(tokens, k, ",") && !isSymbol(tokens, k, ")"); ++k) {
        if (isWord(tokens, k, "PRIMARY")) {
            keyFollows = true;
            break;
        }
    }
    tokens[typeAt].text = dialect.columnType(tokens[typeAt].text, keyFollows);
}

const QSet<QString>& columnConstraintStarts()
{
    static const QSet<QString> words { "CONSTRAINT", "PRIMARY", "UNIQUE", "FOREIGN", "CHECK" };
    return words;
}

void translateCreateTable(Tokens& tokens, size_t openParen, const JetDialect& dialect)
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
            mapColumnType(tokens, skipSpace(tokens, i + 1), dialect);
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
    Translator(Tokens tokens, JetSchema& schema, const JetDialect& dialect, QString* error)
        : m_tokens(std::move(tokens))
        , m_schema(schema)
        , m_dialect(dialect)
        , m_error(error)
    { }

    std::optional<JetTranslation> run();

private:
    // What the statement's verb leaves for the last step: a SELECT ... INTO, or an INSERT
    // INTO t SELECT (the table's and the SELECT's token) to fill by name.
    struct Plan
    {
        bool selectInto = false;
        size_t insertTable = 0;
        size_t insertSelect = 0;
    };
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
    bool prepare();
    void commonRewrites();
    size_t selectIntoAt(size_t first) const;
    void rewriteByVerb(size_t first, JetTranslation& out, Plan& plan);
    void rewriteDelete(size_t first);
    void rewriteInsert(size_t first, Plan& plan);
    void rewriteUpdate(size_t first);
    void rewriteCreate(size_t first);
    void rewriteAlter(size_t first);
    ColumnKind kindOf(const QString& column, const QString& table = {});
    void convertComparisons();
    bool convertInsertValues(size_t tableAt);
    void convertUpdateSet(size_t tableAt);
    bool finishTokens();
    QString text(const Tokens& tokens, size_t from = 0, size_t to = SIZE_MAX);
    std::optional<JetTranslation> selectInto(size_t intoAt);
    std::optional<JetTranslation> insertSelectByName(size_t tableAt, size_t selectAt);

    Tokens m_tokens;
    JetSchema& m_schema;
    const JetDialect& m_dialect;
    QString* m_error;
    QStringList m_tables;
    std::unique_ptr<TokenWriter> m_writer; // once the tokens are finished
};

void Translator::commonRewrites()
{
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        Token& t = m_tokens[i];
        if (t.kind == Tok::Word) {
            if (t.upper() == QLatin1String("LIKE")) {
                // Jet's wildcards * and ? are SQLite's % and _.
                const size_t v = skipSpace(m_tokens, i + 1);
                if (v < m_tokens.size() && m_tokens[v].kind == Tok::Text) {
                    m_tokens[v].text.replace(u'*', u'%');
                    m_tokens[v].text.replace(u'?', u'_');
                }
            }
        }
    }
    m_dialect.rewriteBooleans(m_tokens);
}

ColumnKind Translator::kindOf(const QString& column, const QString& table)
{
    const QString name = bareName(column);
    QStringList tables = m_tables;
    // A qualifier that is not a table is an alias: any of the statement's tables.
    if (!table.isEmpty() && m_schema.tableColumns(bareName(table)))
        tables = QStringList { bareName(table) };
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
// An engine that compares only values of one type compares a literal of the other kind the
// way SQLite compares it: a number with a text column as text, a text that is no date or
// number with the column's text form.
void Translator::convertComparisons()
{
    static const QSet<QString> ops { "=", "<>", "<", ">", "<=", ">=", "!=" };
    const bool oneType = m_dialect.comparesOneTypeOnly();
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        if (m_tokens[i].kind != Tok::Symbol || !ops.contains(m_tokens[i].text))
            continue;
        const size_t v = skipSpace(m_tokens, i + 1);
        if (v >= m_tokens.size()
            || (m_tokens[v].kind != Tok::Text && !(oneType && m_tokens[v].kind == Tok::Number)))
            continue;
        // The column before the operator, maybe qualified: table.column.
        size_t c = i;
        while (c > 0 && m_tokens[c - 1].kind == Tok::Space)
            --c;
        if (c == 0 || m_tokens[c - 1].kind != Tok::Word)
            continue;
        const QString column = m_tokens[c - 1].text;
        size_t columnStart = c - 1;
        QString table;
        if (c >= 3 && isSymbol(m_tokens, c - 2, ".") && m_tokens[c - 3].kind == Tok::Word) {
            table = m_tokens[c - 3].text;
            columnStart = c - 3;
        }
        const ColumnKind kind = kindOf(column, table);
        Token& value = m_tokens[v];
        if (value.kind == Tok::Number) {
            if (kind == ColumnKind::Text)
                value.kind = Tok::Text;
            continue;
        }
        bool comparable = true;
        if (kind == ColumnKind::Date && !value.text.trimmed().isEmpty()) {
            const auto date = parseDateText(value.text);
            if (date)
                value.text = canonicalDateText(*date);
            comparable = date.has_value();
        } else if (kind == ColumnKind::Date) {
            comparable = false;
        } else if (oneType && (kind == ColumnKind::Integer || kind == ColumnKind::Real)) {
            bool ok = false;
            const double number = value.text.trimmed().toDouble(&ok);
            if (ok && std::isfinite(number))
                value = { Tok::Number, value.text.trimmed() };
            comparable = ok && std::isfinite(number);
        }
        if (!oneType || comparable)
            continue;
        const auto [before, after] = m_dialect.columnAsText(kind);
        m_tokens.insert(m_tokens.begin() + static_cast<long>(c), { Tok::Symbol, after, true });
        m_tokens.insert(
            m_tokens.begin() + static_cast<long>(columnStart), { Tok::Symbol, before, true });
        i += 2;
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

// The dialect's last rewrites, once every value is converted.
bool Translator::finishTokens()
{
    const auto columnKind
        = [this](const QString& column, const QString& table) { return kindOf(column, table); };
    if (!m_dialect.rewriteForms(m_tokens, columnKind, m_error))
        return false;
    m_writer = m_dialect.writer(m_schema, m_tokens, m_tables);
    return true;
}

QString Translator::text(const Tokens& tokens, size_t from, size_t to)
{
    if (m_writer)
        return m_writer->text(tokens, from, to);
    return joinTokens(tokens, from, to);
}

std::optional<JetTranslation> Translator::selectInto(size_t intoAt)
{
    const size_t targetAt = skipSpace(m_tokens, intoAt + 1);
    if (targetAt >= m_tokens.size() || m_tokens[targetAt].kind != Tok::Word) {
        fail(QStringLiteral("INTO without a table name"));
        return std::nullopt;
    }
    Tokens select(m_tokens.begin(), m_tokens.begin() + static_cast<long>(intoAt));
    select.insert(select.end(), m_tokens.begin() + static_cast<long>(targetAt + 1), m_tokens.end());
    const QString selectSql = text(select);
    QString error;
    const auto columns = m_schema.queryColumns(selectSql, &error);
    if (!columns) {
        fail(error);
        return std::nullopt;
    }
    QStringList definitions;
    QStringList names;
    for (const ColumnInfo& c : *columns) {
        const QString type = m_dialect.resultColumnType(c);
        definitions << (type.isEmpty() ? quoteName(c.name) : quoteName(c.name) + u' ' + type);
        names << quoteName(c.name);
    }
    const QString target = text(m_tokens, targetAt, targetAt + 1);
    // A work table on a shared server belongs to this session alone.
    const bool temporary
        = m_dialect.workTablesAreTemporary() && isWorkTable(m_tokens[targetAt].text);
    JetTranslation out;
    out.changesSchema = true;
    out.statements << QStringLiteral("CREATE %1TABLE %2 (%3)")
                          .arg(temporary ? QStringLiteral("TEMP ") : QString(), target,
                              definitions.join(u','));
    out.statements
        << QStringLiteral("INSERT INTO %1 (%2) %3").arg(target, names.join(u','), selectSql);
    return out;
}

std::optional<JetTranslation> Translator::insertSelectByName(size_t tableAt, size_t selectAt)
{
    const QString selectSql = text(m_tokens, selectAt);
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
        const auto known = std::find_if(targetColumns->begin(), targetColumns->end(),
            [&](const ColumnInfo& t) { return t.name.compare(c.name, Qt::CaseInsensitive) == 0; });
        if (known == targetColumns->end()) {
            fail(QStringLiteral("unknown field name in INSERT INTO: ") + c.name);
            return std::nullopt;
        }
        // The server knows the column only by the spelling it was created with.
        names << quoteName(m_dialect.namesKeepCreatedSpelling() ? known->name : c.name);
    }
    JetTranslation out;
    out.statements << text(m_tokens, 0, tableAt + 1) + QStringLiteral(" (") + names.join(u',')
            + QStringLiteral(") ") + selectSql;
    return out;
}

// Trailing semicolons and blanks, one statement, its date literals.
bool Translator::prepare()
{
    while (!m_tokens.empty()
        && (m_tokens.back().kind == Tok::Space || isSymbol(m_tokens, m_tokens.size() - 1, ";")))
        m_tokens.pop_back();
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        if (isSymbol(m_tokens, i, ";"))
            return fail(QStringLiteral("more than one statement"));
    }
    const size_t first = skipSpace(m_tokens, 0);
    if (first >= m_tokens.size() || m_tokens[first].kind != Tok::Word)
        return fail(QStringLiteral("empty statement"));
    for (Token& t : m_tokens) {
        if (t.kind == Tok::Date) {
            const auto date = parseJetDateLiteral(t.text);
            if (!date)
                return fail(QStringLiteral("bad date literal #%1#").arg(t.text));
            t = { Tok::Text, canonicalDateText(*date) };
        }
    }
    commonRewrites();
    m_tables = namedTables(m_tokens);
    return true;
}

// The INTO of "SELECT ... INTO t FROM", before any FROM and outside parentheses; 0 when
// there is none.
size_t Translator::selectIntoAt(size_t first) const
{
    int depth = 0;
    for (size_t i = first; i < m_tokens.size(); ++i) {
        if (isSymbol(m_tokens, i, "("))
            ++depth;
        else if (isSymbol(m_tokens, i, ")"))
            --depth;
        else if (depth == 0 && isWord(m_tokens, i, "FROM"))
            break;
        else if (depth == 0 && isWord(m_tokens, i, "INTO"))
            return i;
    }
    return 0;
}

// "DELETE * FROM t" and "DELETE t.* FROM t": Jet names what it deletes.
void Translator::rewriteDelete(size_t first)
{
    size_t from = first + 1;
    while (from < m_tokens.size() && !isWord(m_tokens, from, "FROM"))
        ++from;
    if (from < m_tokens.size())
        m_tokens.erase(m_tokens.begin() + static_cast<long>(first + 1),
            m_tokens.begin() + static_cast<long>(from));
    m_tokens.insert(
        m_tokens.begin() + static_cast<long>(first + 1), { Tok::Space, QStringLiteral(" ") });
}

// INSERT INTO t VALUES (...) converts its values; INSERT INTO t SELECT is filled by name
// once the tokens are finished.
void Translator::rewriteInsert(size_t first, Plan& plan)
{
    const size_t into = skipSpace(m_tokens, first + 1);
    const size_t tableAt = skipSpace(m_tokens, into + 1);
    if (!isWord(m_tokens, into, "INTO") || tableAt >= m_tokens.size()
        || m_tokens[tableAt].kind != Tok::Word)
        return;
    const size_t next = skipSpace(m_tokens, tableAt + 1);
    if (isWord(m_tokens, next, "SELECT")) {
        plan.insertTable = tableAt;
        plan.insertSelect = next;
    } else {
        convertInsertValues(tableAt);
    }
}

void Translator::rewriteUpdate(size_t first)
{
    const size_t tableAt = skipSpace(m_tokens, first + 1);
    if (tableAt < m_tokens.size() && m_tokens[tableAt].kind == Tok::Word)
        convertUpdateSet(tableAt);
}

void Translator::rewriteCreate(size_t first)
{
    const size_t what = skipSpace(m_tokens, first + 1);
    if (!isWord(m_tokens, what, "TABLE"))
        return;
    for (size_t i = what; i < m_tokens.size(); ++i) {
        if (isSymbol(m_tokens, i, "(")) {
            translateCreateTable(m_tokens, i, m_dialect);
            break;
        }
    }
    // A work table on a shared server belongs to this session alone.
    const size_t name = skipSpace(m_tokens, what + 1);
    if (m_dialect.workTablesAreTemporary() && name < m_tokens.size()
        && isWorkTable(m_tokens[name].text))
        m_tokens.insert(m_tokens.begin() + static_cast<long>(what),
            { Tok::Symbol, QStringLiteral("TEMP "), true });
}

void Translator::rewriteAlter(size_t first)
{
    for (size_t i = first; i < m_tokens.size(); ++i) {
        if (isWord(m_tokens, i, "ADD")) {
            size_t name = skipSpace(m_tokens, i + 1);
            if (isWord(m_tokens, name, "COLUMN"))
                name = skipSpace(m_tokens, name + 1);
            if (name < m_tokens.size()
                && !columnConstraintStarts().contains(m_tokens[name].upper()))
                mapColumnType(m_tokens, skipSpace(m_tokens, name + 1), m_dialect);
            break;
        }
    }
}

// The rewrites the statement's verb asks for, and what it is: a query, a schema change.
void Translator::rewriteByVerb(size_t first, JetTranslation& out, Plan& plan)
{
    const QString verb = m_tokens[first].upper();
    if (verb == QLatin1String("SELECT")) {
        plan.selectInto = selectIntoAt(first) != 0;
        convertComparisons();
        out.isQuery = !plan.selectInto;
    } else if (verb == QLatin1String("DELETE")) {
        rewriteDelete(first);
        convertComparisons();
    } else if (verb == QLatin1String("INSERT")) {
        rewriteInsert(first, plan);
        convertComparisons();
    } else if (verb == QLatin1String("UPDATE")) {
        rewriteUpdate(first);
        convertComparisons();
    } else if (verb == QLatin1String("CREATE")) {
        out.changesSchema = true;
        rewriteCreate(first);
    } else if (verb == QLatin1String("ALTER")) {
        out.changesSchema = true;
        rewriteAlter(first);
    } else if (verb == QLatin1String("DROP")) {
        out.changesSchema = true;
    }
}

std::optional<JetTranslation> Translator::run()
{
    if (!prepare())
        return std::nullopt;
    const size_t first = skipSpace(m_tokens, 0);
    JetTranslation out;
    Plan plan;
    rewriteByVerb(first, out, plan);
    if (!finishTokens())
        return std::nullopt;
    // Rewrites may have moved the INTO; the INSERT's table and SELECT come before any.
    if (plan.selectInto)
        return selectInto(selectIntoAt(first));
    if (plan.insertSelect != 0)
        return insertSelectByName(plan.insertTable, plan.insertSelect);
    out.statements << text(m_tokens);
    return out;
}

} // namespace

bool isWorkTable(const QString& name)
{
    return bareName(name).startsWith(QLatin1String("TEMP_"), Qt::CaseInsensitive);
}

std::optional<JetTranslation> translateJet(
    const QString& jetSql, JetSchema& schema, QString* error, const JetDialect& dialect)
{
    auto tokens = tokenize(jetSql, error);
    if (!tokens)
        return std::nullopt;
    return Translator(std::move(*tokens), schema, dialect, error).run();
}

} // namespace quel::jet
