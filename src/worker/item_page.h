#pragma once

#include <QString>

// Reading an item page and the pages of its sales record into the lines of a mode-0 result.
namespace quel::worker {

// The figures of one item page; zero or empty where the page does not show them.
struct ItemDetail
{
    double price = 0;
    qint32 soldThisPeriod = 0;
    qint32 sold30Days = 0;
    qint32 reviews = 0;
    QString itemType;
    qint32 views = 0;
    qint32 favourites = 0;
    // The first figure whose number cannot be taken (NaN, infinite, beyond the 32-bit range
    // of a count), by its name on the page; "" when every figure is sound.
    QString badField;
};

ItemDetail ParseItemFields(const QString& markup);

// The item line: the seven figures joined by the field separator, without a line break.
QString ItemLine(const ItemDetail& item);

// The sales records of one page, one line each (price, quantity, date, rate id, buyer),
// joined by CR LF without a trailing one; "" when the page has no sales table. *badField
// (when given and still empty) gets the name of the first price or quantity whose number
// cannot be taken.
QString ParseSalesTable(const QString& markup, QString* badField = nullptr);

// A sale date with its Chinese units replaced: 2010年4月2日 9点05分07秒 -> 2010-4-2 9:05:07.
QString ReplaceDateUnits(QString date);

// The pager: false, with nothing changed, when the page has no next-page label or no pager
// text; otherwise sets the current page and the page count.
bool ReadPageInfo(const QString& markup, qint32& currentPage, qint32& pageCount);

// The lines one page adds to the result: on the first page (pagesDone 0) the item line,
// then the page's sales records. Adds 1 to pagesDone. *badField as for ParseSalesTable,
// the item figures included.
QString BuildPageResult(const QString& markup, qint32& pagesDone, QString* badField = nullptr);

// The record count the sales pager announces ("共N条"); -1 without a pager.
qint64 AnnouncedRecords(const QString& markup);

} // namespace quel::worker
