#pragma once

#include <QDate>
#include <QSet>
#include <QString>

namespace quel::store {
class Connection;
}

namespace quel::download {

// Every BCode already in 客户表, grown by the imports of one download run so that one run
// never inserts a code twice.
class KnownBuyerCodes
{
public:
    // Reads the codes from 客户表; false when the table cannot be read.
    bool load(const store::Connection& conn, QString* error = nullptr);
    bool contains(const QString& code) const { return m_codes.contains(code); }
    void add(const QString& code) { m_codes.insert(code); }
    void clear() { m_codes.clear(); }
    qsizetype size() const { return m_codes.size(); }

private:
    QSet<QString> m_codes;
};

struct ImportCounts
{
    long records = 0; // rows added to 交易表
    long buyers = 0; // rows added to 客户表
};

// Imports one mode-0 worker result for the product with the given ID: updates the product's
// detail columns (when the head line has all seven fields), appends the sales records that
// are new and creates a 客户表 row for every new buyer code. All of it is one transaction:
// false (with a reason in error) leaves the database exactly as before, so the product
// keeps an empty Style and is offered again. True also when no record was new.
bool ImportProductResult(const store::Connection& conn, qint64 productId, const QString& text,
    KnownBuyerCodes& known, ImportCounts* counts = nullptr, QString* error = nullptr,
    const QDate& today = QDate::currentDate());

} // namespace quel::download
