#pragma once

#include "core/clock.h"
#include "download/product_result.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

namespace quel::db {
class Connection;
class Database;
} // namespace quel::db

namespace quel::download {

// The buyer codes already in 客户表, asked of the database one code at a time (through
// the BCode index, so a database with a million buyers costs no more than an empty one),
// together with the codes a download run has added, so that one run never inserts a code
// twice.
class KnownBuyerCodes
{
public:
    // Ties the set to the connection's database; false when 客户表 cannot be read.
    bool load(const db::Connection& conn, QString* error = nullptr);
    bool contains(const QString& code) const;
    void add(const QString& code) { m_added.insert(code); }
    // Whether this run stored the code itself (no question to the database).
    bool addedHere(const QString& code) const { return m_added.contains(code); }
    void clear();

private:
    std::shared_ptr<db::Database> m_db;
    QSet<QString> m_added;
};

struct ImportCounts
{
    long records = 0; // rows added to 交易表
    long buyers = 0; // rows added to 客户表
    qint64 historyNs = 0; // time spent recording the item pages' figures in 价格历史
};

// Imports one mode-0 worker result for the product with the given ID: updates the product's
// detail columns (when the head line has all seven fields), appends the sales records that
// are not stored yet (each once) and creates a 客户表 row for every new buyer code, and records the
// head line's figures in the price history under today. All of it is one transaction: false (with a
// reason in error) leaves the database exactly as before, so the product keeps an empty Style and
// is offered again. True also when no record was new.
bool ImportProductResult(const db::Connection& conn, qint64 productId, const QString& text,
    KnownBuyerCodes& known, ImportCounts* counts = nullptr, QString* error = nullptr,
    const QDate& today = quel::core::Today());

// The two halves of an import, for a caller that writes many results in one transaction of its
// own. Reading finds the result's own faults (nullopt, with the reason) before anything is
// written. Writing has no savepoint of its own (the engine would copy and encrypt every page
// the savepoint touches, which costs about as much as the writes): false means the caller's
// transaction holds part of the result and has to be rolled back whole, with every result
// written into it since it began, and `known` reloaded.
std::optional<ProductResult> ReadProductResult(const QString& text, QString* error = nullptr);
bool WriteProductResult(const db::Connection& conn, qint64 productId, const ProductResult& result,
    KnownBuyerCodes& known, ImportCounts* counts = nullptr, QString* error = nullptr,
    const QDate& today = quel::core::Today());

} // namespace quel::download
