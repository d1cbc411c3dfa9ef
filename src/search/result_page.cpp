#include "search/result_page.h"

#include "core/clock.h"
#include "core/text_cut.h"

#include <QDateTime>
#include <cmath>
#include <limits>

namespace quel::search {

namespace {

using core::CutAtMarker;
using core::RemoveBetween;
using core::SkipPast;

const QString kItemMarker = QStringLiteral("<LIclass=list-item>");

// The text up to the first marker, the text moving past it; empty when it is missing.
QString takeUpTo(QString& text, const QString& marker)
{
    return CutAtMarker(text, marker, true);
}

// The engine writes text as markup; the stored fields are the text the shop wrote.
QString decodeText(QString text)
{
    // The marketplace escapes angle brackets in titles once more than other characters.
    text.replace(QStringLiteral("&amp;lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&amp;gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text.trimmed();
}

QString parseTitle(QString text)
{
    if (!SkipPast(text, QStringLiteral("title=")))
        return {};
    if (!SkipPast(text, QStringLiteral(">")))
        return {};
    if (!text.contains(QStringLiteral("</A>")))
        return {};
    QString title = takeUpTo(text, QStringLiteral("</A>"));
    RemoveBetween(title, QStringLiteral("<SPAN"), QStringLiteral(">"), QString());
    const qsizetype gt = title.indexOf(QLatin1Char('>'));
    if (gt >= 0)
        title.remove(0, gt + 1);
    return decodeText(title);
}

double parseDiscount(const QString& item)
{
    const QString marker = QStringLiteral("class=extend>");
    const qsizetype at = item.indexOf(marker);
    if (at <= 0)
        return 0;
    QString text = item.mid(at + marker.size());
    const qsizetype end = text.indexOf(QStringLiteral("</DIV>"));
    if (end >= 0)
        text.truncate(end);
    RemoveBetween(text, QStringLiteral("<"), QStringLiteral(">"), QString());
    text.remove(QStringLiteral("折价"));
    return LeadingNumber(text.trimmed());
}

} // namespace

PreparedResultPage PrepareResultPage(const QString& bodyHtml)
{
    PreparedResultPage page;
    QString markup = bodyHtml;
    markup = CutAtMarker(markup, QStringLiteral("class=page-bottom>"), true);
    page.errorCopy = markup;
    markup.remove(QLatin1Char(' '));
    RemoveBetween(markup, QStringLiteral("<SCRIPT"), QStringLiteral("</SCRIPT>"), QString());
    SkipPast(markup, QStringLiteral(">所在地</"));
    SkipPast(markup, QStringLiteral(">对比</"));
    RemoveBetween(markup, QStringLiteral("</SPAN"), QStringLiteral(">"), QString());
    QStringList parts = markup.split(kItemMarker);
    if (parts.size() >= 2) {
        parts.removeFirst();
        page.items = std::move(parts);
    }
    return page;
}

std::optional<SearchedProduct> ParseSearchItem(const QString& item, const ItemContext& context)
{
    SearchedProduct product;
    product.kWord = context.keyword.isEmpty() ? context.nick : context.keyword;
    if (!context.mallPrefix.isEmpty() && item.contains(context.mallPrefix))
        return std::nullopt;

    QString text = item;
    if (SkipPast(text, QStringLiteral("item.htm?id=")))
        product.pCode = takeUpTo(text, QStringLiteral("\"")).trimmed();

    product.title = parseTitle(item);
    product.dat = context.now;

    text = item;
    if (SkipPast(text, QStringLiteral("最近售出"))) {
        product.num1 = RoundToInt32(LeadingNumber(text));
        product.num1Shown = true;
    }

    text = item;
    if (SkipPast(text, QStringLiteral("class=place>")))
        product.addr = decodeText(takeUpTo(text, QStringLiteral("<")));

    text = item;
    if (SkipPast(text, QStringLiteral("class=price>")) && SkipPast(text, QStringLiteral("<EM>")))
        product.price = LeadingNumber(takeUpTo(text, QStringLiteral("</EM>")));

    text = item;
    text.replace(QLatin1Char(':'), QStringLiteral("："));
    if (SkipPast(text, QStringLiteral("shipping>运费：")))
        product.mFee = LeadingNumber(takeUpTo(text, QStringLiteral("</")));

    product.dis = parseDiscount(item);

    text = item;
    if (SkipPast(text, QStringLiteral(">卖家：<A"))) {
        // The shop code is only read from the seller link itself, not from a later link.
        const qsizetype tagEnd = text.indexOf(QLatin1Char('>'));
        const qsizetype shop = text.indexOf(QStringLiteral("view_shop-"));
        if (shop >= 0 && (tagEnd < 0 || shop < tagEnd)) {
            SkipPast(text, QStringLiteral("view_shop-"));
            product.sCode = takeUpTo(text, QStringLiteral("."));
        }
        if (SkipPast(text, QStringLiteral(">")))
            product.sName = decodeText(takeUpTo(text, QStringLiteral("</")));
    }

    if (product.pCode.isEmpty() || product.title.isEmpty() || product.sName.isEmpty()
        || !(product.price > 0))
        return std::nullopt;
    return product;
}

qint32 ReadPageCount(const QString& bodyHtml)
{
    QString text = bodyHtml;
    if (!SkipPast(text, QStringLiteral("<SPAN class=page-info>")))
        return 1;
    if (!SkipPast(text, QStringLiteral("/")))
        return 1;
    const qint32 count = RoundToInt32(LeadingNumber(text));
    return count < 1 ? 1 : count;
}

double LeadingNumber(const QString& text)
{
    QString digits;
    bool seenPoint = false;
    bool seenDigit = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
            || c == QLatin1Char('\r'))
            continue;
        if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && digits.isEmpty()) {
            digits += c;
            continue;
        }
        if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
            digits += c;
            continue;
        }
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            seenDigit = true;
            digits += c;
            continue;
        }
        break;
    }
    if (!seenDigit)
        return 0;
    bool ok = false;
    const double value = digits.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

qint32 RoundToInt32(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double rounded = std::nearbyint(value);
    if (rounded >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (rounded <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return qint32(rounded);
}

QString SearchTimeText()
{
    return quel::core::Now().toString(QStringLiteral("yyyy-M-d H:mm:ss"));
}

} // namespace quel::search
