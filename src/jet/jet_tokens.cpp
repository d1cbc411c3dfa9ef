#include "jet/jet_tokens.h"

#include <QSet>
#include <algorithm>

namespace quel::jet {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c.unicode() >= 0x80;
}

} // namespace

// Splits Jet text into tokens; nullopt with a message for an unterminated literal.
std::optional<Tokens> tokenize(const QString& sql, QString* error)
{
    Tokens tokens;
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

bool isQuotedName(const QString& word)
{
    return word.size() >= 2
        && (word.front() == u'[' || word.front() == u'"' || word.front() == u'`');
}

QString bareName(const QString& word)
{
    return isQuotedName(word) ? word.mid(1, word.size() - 2) : word;
}

QString joinTokens(const Tokens& tokens, size_t from, size_t to)
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

size_t skipSpace(const Tokens& tokens, size_t i)
{
    while (i < tokens.size() && tokens[i].kind == Tok::Space)
        ++i;
    return i;
}

bool isWord(const Tokens& tokens, size_t i, const char* upper)
{
    return i < tokens.size() && tokens[i].kind == Tok::Word
        && tokens[i].upper() == QLatin1String(upper);
}

bool isSymbol(const Tokens& tokens, size_t i, const char* symbol)
{
    return i < tokens.size() && tokens[i].kind == Tok::Symbol
        && tokens[i].text == QLatin1String(symbol);
}

size_t previousToken(const Tokens& tokens, size_t i)
{
    while (i > 0) {
        --i;
        if (tokens[i].kind != Tok::Space)
            return i;
    }
    return SIZE_MAX;
}

size_t closingParen(const Tokens& tokens, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < tokens.size(); ++i) {
        if (isSymbol(tokens, i, "("))
            ++depth;
        else if (isSymbol(tokens, i, ")") && --depth == 0)
            return i;
    }
    return tokens.size();
}

JetType classifyJetType(const QString& word)
{
    const QString t = word.toUpper();
    static const QSet<QString> integer { "LONG", "INTEGER", "INT", "SHORT", "SMALLINT", "BYTE",
        "TINYINT", "BIT", "YESNO", "LOGICAL", "BIGINT", "INTEGER4", "INTEGER2", "LONGINT" };
    static const QSet<QString> real { "DOUBLE", "FLOAT", "SINGLE", "REAL", "CURRENCY", "MONEY",
        "NUMERIC", "DECIMAL", "NUMBER", "FLOAT8", "FLOAT4" };
    static const QSet<QString> date { "DATE", "DATETIME", "TIME", "TIMESTAMP" };
    static const QSet<QString> text { "STRING", "TEXT", "VARCHAR", "CHAR", "MEMO", "LONGTEXT",
        "NVARCHAR", "NCHAR", "CHARACTER", "NTEXT", "ALPHANUMERIC" };
    if (t == QLatin1String("COUNTER") || t == QLatin1String("AUTOINCREMENT"))
        return JetType::Counter;
    if (integer.contains(t))
        return JetType::Integer;
    if (real.contains(t))
        return JetType::Real;
    if (date.contains(t))
        return JetType::Date;
    if (text.contains(t))
        return JetType::Text;
    return JetType::None;
}

QStringList namedTables(const Tokens& tokens)
{
    QStringList tables;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (isWord(tokens, i, "FROM") || isWord(tokens, i, "JOIN") || isWord(tokens, i, "UPDATE")
            || isWord(tokens, i, "INTO")) {
            size_t k = skipSpace(tokens, i + 1);
            while (k < tokens.size() && tokens[k].kind == Tok::Word) {
                if (!tables.contains(bareName(tokens[k].text)))
                    tables << bareName(tokens[k].text);
                k = skipSpace(tokens, k + 1);
                // "FROM a AS x, b": skip an alias, continue after a comma.
                if (isWord(tokens, k, "AS"))
                    k = skipSpace(tokens, skipSpace(tokens, k + 1) + 1);
                if (!isSymbol(tokens, k, ","))
                    break;
                k = skipSpace(tokens, k + 1);
            }
        }
    }
    return tables;
}

} // namespace quel::jet
