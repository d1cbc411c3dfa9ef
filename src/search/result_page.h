#pragma once

#include "search/searched_product.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace quel::search {

// A result page's body markup made ready for item parsing.
struct PreparedResultPage
{
    // The markup up to the pager, as saved to "Error.ASP" when the page lists nothing.
    QString errorCopy;
    // The text of each listed item, in page order (the text before the first item dropped).
    QStringList items;
};

// Cuts the list out of a result page's body markup: up to the pager, blanks, scripts,
// the list header and closing SPAN tags removed, split at each list item.
PreparedResultPage PrepareResultPage(const QString& bodyHtml);

// Where the item texts come from and what goes with each of them.
struct ItemContext
{
    QString keyword;
    QString nick;
    QString mallPrefix; // items linking here are the mall's and are skipped
    QString now; // the Dat text of this search
};

// Parses one item text of PrepareResultPage. Empty for mall items and for items that lack
// a code, a title, a seller or a positive price.
std::optional<SearchedProduct> ParseSearchItem(const QString& item, const ItemContext& context);

// The page count from the pager's "n/m" text (markup as the engine gives it); at least 1.
qint32 ReadPageCount(const QString& bodyHtml);

// The number at the start of a text, blanks, tabs and line breaks ignored; 0 when none
// (how the list's figures such as "12笔" or "10.00" are read).
double LeadingNumber(const QString& text);

// A double rounded to a 32-bit integer, half to even, clamped to the type's range.
qint32 RoundToInt32(double value);

// The date-and-time text stored in Dat: year-month-day without leading zeros and the time.
QString SearchTimeText();

} // namespace quel::search
