#pragma once

#include "db/sql_names.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// The token stream the statement translations work on.
namespace quel::jet {

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
    // Written by the translation itself (a type, a cast): emitted as it stands, never taken
    // for a name.
    bool raw = false;
    QString upper() const { return text.toUpper(); }
};

using Tokens = std::vector<Token>;

// Splits statement text into tokens; nullopt with a message for an unterminated literal.
std::optional<Tokens> tokenize(const QString& sql, QString* error);

QString quoteText(const QString& value);
using db::quoteName;
// A name as written: [x], "x" and `x` without their quotes.
QString bareName(const QString& word);
bool isQuotedName(const QString& word);
// The tokens as SQLite text.
QString joinTokens(const Tokens& tokens, size_t from = 0, size_t to = SIZE_MAX);
// Index of the next non-space token at or after i; tokens.size() when none.
size_t skipSpace(const Tokens& tokens, size_t i);
// Index of the previous non-space token before i; SIZE_MAX when none.
size_t previousToken(const Tokens& tokens, size_t i);
bool isWord(const Tokens& tokens, size_t i, const char* upper);
bool isSymbol(const Tokens& tokens, size_t i, const char* symbol);
// What a Jet type word (COUNTER, LONG, DOUBLE, DATE, STRING ... and their synonyms) declares.
enum class JetType
{
    None, // not a Jet type word
    Counter,
    Integer,
    Real,
    Date,
    Text
};
JetType classifyJetType(const QString& word);

// Tables the statement names (after FROM, JOIN, UPDATE, INTO), without their quotes.
QStringList namedTables(const Tokens& tokens);
// Index of the ")" that closes the "(" at open; tokens.size() when it is not closed.
size_t closingParen(const Tokens& tokens, size_t open);

} // namespace quel::jet
