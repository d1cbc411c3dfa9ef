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

// A stored sale as the incremental rule compares it.
struct StoredSale
{
    QDateTime time;
    QString buyer;
};

// The records of a result that are new. `stored` holds the product's stored sales in the
// order "Dat DESC,Buyer DESC". With none stored, every record is new, repeats included.
// Otherwise records are taken newest first until one equals (same time, same buyer) a
// stored record of its time or a record taken earlier in this result; from there on
// nothing more is taken.
std::vector<SaleRecord> SelectNewRecords(
    const std::vector<StoredSale>& stored, const std::vector<SaleRecord>& records);

} // namespace quel::download
