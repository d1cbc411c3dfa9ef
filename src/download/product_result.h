#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace quel::download {

// One sales record of a product result, as it will be stored in 交易表.
struct SaleRecord
{
    double price = 0; // Pri
    qint64 quantity = 0; // Num
    QDateTime time; // Dat
    QString buyerCode; // BCode, may be empty
    QString buyer; // Buyer
};

// A mode-0 worker result taken apart: the head line's fields and the usable records,
// newest first as the worker lists them.
struct ProductResult
{
    enum class Status
    {
        Ok,
        Empty, // no text or an empty head line
        NoStyle, // head field 3 empty: the page was not a product page
        BadDate, // a record whose date cannot be read
    };
    Status status = Status::Empty;
    QStringList head;
    std::vector<SaleRecord> records;
    int badDateLine = -1; // line number of the first unreadable date

    bool ok() const { return status == Status::Ok; }
    // The head line carries all seven item figures, so the product row is updated.
    bool hasFullHead() const { return head.size() >= 7; }
};

ProductResult ParseProductResult(const QString& text);

// A stored sale as the import compares it with the records of a result.
struct StoredSale
{
    QDateTime time;
    QString buyer;
    QString buyerCode;
    double price = 0;
    qint64 quantity = 0;
};

// The records of a result that are not stored yet, in the result's order, each once. A
// trade is its time, buyer, buyer code, price and quantity: a record alike in all of them
// to a stored sale is stored already, and two alike in one result are one trade that two
// sales pages showed (a sale arriving during the walk pushes a record onto the next page).
// Every record missing is taken, not only those newer than the newest stored, so a result
// that is complete repairs an earlier one that was not.
std::vector<SaleRecord> SelectNewRecords(
    const std::vector<StoredSale>& stored, const std::vector<SaleRecord>& records);

} // namespace quel::download
