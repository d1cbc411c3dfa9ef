#include "worker/item_page.h"

#include "core/text_cut.h"
#include "core/worker_protocol.h"
#include "worker/markers.h"
#include "worker/number_text.h"

#include <QStringList>

namespace quel::worker {

using core::CutAtMarker;
using core::StripTags;
using core::TrimBlanks;

namespace m = markers;

namespace {

// The text after a marker's first occurrence when something stands before it; the parsers
// count a marker found only then.
bool textAfterFound(const QString& text, const QString& marker, QString& after)
{
    after = text;
    return !CutAtMarker(after, marker, true).isEmpty();
}

qint32 leadingInt(const QString& text)
{
    return RoundToInt32(LeadingNumber(text));
}

// Notes the first field whose number cannot be taken.
void checkNumber(const QString& text, bool whole, const QString& field, QString& badField)
{
    if (badField.isEmpty() && NumberOutOfRange(text, whole))
        badField = field;
}

} // namespace

ItemDetail ParseItemFields(const QString& markup)
{
    ItemDetail item;
    QString work = markup;
    CutAtMarker(work, m::kDetailOtherEnd, false);
    work.remove(core::kResultLineBreak);
    work.remove(m::kEmphasisOpen);

    {
        QString copy = work;
        CutAtMarker(copy, m::kPrice, true);
        item.price = LeadingNumber(copy);
        checkNumber(copy, false, QStringLiteral("价格"), item.badField);
    }
    QString after;
    if (textAfterFound(work, m::kSoldThisPeriod, after)) {
        item.soldThisPeriod = leadingInt(after);
        checkNumber(after, true, QStringLiteral("本期售出"), item.badField);
    }
    if (textAfterFound(work, m::kSold30Days, after)) {
        item.sold30Days = leadingInt(after);
        checkNumber(after, true, QStringLiteral("30天售出"), item.badField);
    }

    // From here on only the part of the page after the review count is searched.
    QString before = CutAtMarker(work, m::kReviews, true);
    if (!before.isEmpty()) {
        const qsizetype gt = before.lastIndexOf(m::kTagClose);
        const QString count = gt < 0 ? before : before.mid(gt + 1);
        item.reviews = leadingInt(count);
        checkNumber(count, true, QStringLiteral("评价数"), item.badField);
    }

    if (textAfterFound(work, m::kItemType, after))
        item.itemType = CutAtMarker(after, m::kEndTagOpen, true);
    if (textAfterFound(work, m::kViews, after)) {
        const QString views = StripTags(CutAtMarker(after, m::kEmphasisClose, true));
        item.views = leadingInt(views);
        checkNumber(views, true, QStringLiteral("浏览次数"), item.badField);
    }
    if (textAfterFound(work, m::kFavourites, after)) {
        const QString favourites = StripTags(after);
        item.favourites = leadingInt(favourites);
        checkNumber(favourites, true, QStringLiteral("收藏人气"), item.badField);
    }
    return item;
}

QString ItemLine(const ItemDetail& item)
{
    return QStringList { QString::number(item.soldThisPeriod), QString::number(item.sold30Days),
        QString::number(item.reviews), item.itemType, QString::number(item.views),
        QString::number(item.favourites), NumberText(item.price) }
        .join(core::kResultFieldSeparator);
}

QString ReplaceDateUnits(QString date)
{
    for (const m::DateUnit& unit : m::kDateUnits)
        date.replace(unit.text, unit.replacement);
    return date;
}

QString ParseSalesTable(const QString& markup, QString* badField)
{
    QString bad;
    if (!markup.contains(m::kSalesTable))
        return {};
    QString table = markup;
    table = CutAtMarker(table, m::kSalesTable, false);
    CutAtMarker(table, m::kGuestBook, false);
    CutAtMarker(table, m::kTableEnd, false);
    table.remove(core::kResultLineBreak);
    if (table.isEmpty())
        return {};

    QString lines;
    const QStringList rows = table.split(m::kRowEnd);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        QStringList cells = rows[r].split(m::kCellEnd);
        if (cells.size() < 6)
            continue;

        QString price = cells[2];
        CutAtMarker(price, m::kPriceCellStart, true);
        lines += NumberText(LeadingNumber(price)) + core::kResultFieldSeparator;
        checkNumber(price, false, QStringLiteral("成交价格"), bad);

        QString quantity = cells[3];
        CutAtMarker(quantity, m::kTagClose, true);
        lines += NumberText(LeadingNumber(quantity)) + core::kResultFieldSeparator;
        checkNumber(quantity, true, QStringLiteral("数量"), bad);

        QString date = cells[4];
        CutAtMarker(date, m::kTagClose, true);
        lines += TrimBlanks(ReplaceDateUnits(date)) + core::kResultFieldSeparator;

        QString buyer = cells[0];
        QString rateLink = buyer;
        QString beforeLink = CutAtMarker(rateLink, m::kRateLink, true);
        if (!beforeLink.isEmpty()) {
            lines += CutAtMarker(rateLink, m::kRateLinkEnd, true) + core::kResultFieldSeparator;
            CutAtMarker(beforeLink, m::kTagOpen, false); // drops the rating link's own tag
            buyer = beforeLink;
        } else {
            lines += core::kResultFieldSeparator;
        }
        CutAtMarker(buyer, m::kTagClose, true);
        lines += TrimBlanks(StripTags(buyer)) + core::kResultLineBreak;
    }
    if (lines.endsWith(core::kResultLineBreak))
        lines.chop(core::kResultLineBreak.size());
    if (badField && badField->isEmpty())
        *badField = bad;
    return lines;
}

bool ReadPageInfo(const QString& markup, qint32& currentPage, qint32& pageCount)
{
    if (!markup.contains(m::kNextPageLabel))
        return false;
    // Without a pager there is nothing to read; taking numbers from elsewhere in the page
    // would restart the page count and repeat the item line in the middle of the result.
    if (!markup.contains(m::kPageInfo))
        return false;
    QString pager = markup;
    CutAtMarker(pager, m::kPageInfo, true);
    CutAtMarker(pager, m::kPageInfoCount, true);
    pager = TrimBlanks(pager);
    const qint32 current = leadingInt(pager);
    if (current < 1)
        return false;
    CutAtMarker(pager, m::kPageInfoSlash, true);
    currentPage = current;
    pageCount = leadingInt(pager);
    return true;
}

qint64 AnnouncedRecords(const QString& markup)
{
    if (!markup.contains(m::kPageInfo))
        return -1;
    QString pager = markup;
    CutAtMarker(pager, m::kPageInfo, true);
    const QString count = CutAtMarker(pager, m::kPageInfoCount, true);
    const double value = LeadingNumber(count);
    return value >= 0 && value < 1e15 ? qint64(value) : -1;
}

QString BuildPageResult(const QString& markup, qint32& pagesDone, QString* badField)
{
    QString text;
    if (pagesDone == 0) {
        const ItemDetail item = ParseItemFields(markup);
        text = ItemLine(item) + core::kResultLineBreak;
        if (badField && badField->isEmpty())
            *badField = item.badField;
    }
    text += ParseSalesTable(markup, badField);
    ++pagesDone;
    if (text.endsWith(core::kResultLineBreak))
        text.chop(core::kResultLineBreak.size());
    return text;
}

} // namespace quel::worker
