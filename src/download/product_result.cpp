#include "download/product_result.h"

#include "core/worker_protocol.h"
#include "download/result_text.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace quel::download {

ProductResult ParseProductResult(const QString& text)
{
    ProductResult result;
    if (text.isEmpty())
        return result;
    const QStringList lines = text.split(core::kResultLineBreak);
    if (lines.first().isEmpty())
        return result;
    result.head = lines.first().split(core::kResultFieldSeparator);
    if (result.head.value(3).isEmpty()) {
        result.status = ProductResult::Status::NoStyle;
        return result;
    }
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QStringList f = lines[i].split(core::kResultFieldSeparator);
        if (f.size() < 5)
            continue;
        const std::optional<QDateTime> time = ParseResultDateTime(f[2]);
        if (!time) {
            result.status = ProductResult::Status::BadDate;
            result.badDateLine = i;
            result.records.clear();
            return result;
        }
        SaleRecord r;
        r.price = LeadingNumber(f[0]);
        // A Long field takes the value rounded half to even; a figure beyond its range (only
        // a corrupt page shows one) is held at the range's end instead of wrapping.
        const double quantity = std::nearbyint(LeadingNumber(f[1]));
        constexpr double kLongEnd = 9.2e18;
        r.quantity = qint64(std::clamp(std::isnan(quantity) ? 0.0 : quantity, -kLongEnd, kLongEnd));
        r.time = *time;
        r.buyerCode = f[3];
        r.buyer = f[4];
        result.records.push_back(std::move(r));
    }
    result.status = ProductResult::Status::Ok;
    return result;
}

namespace {

QString tradeKey(const QDateTime& time, const QString& buyer, const QString& buyerCode,
    double price, qint64 quantity)
{
    return time.toString(QStringLiteral("yyyyMMddhhmmss")) + u'\x1f' + buyer + u'\x1f' + buyerCode
        + u'\x1f' + QString::number(price, 'g', 15) + u'\x1f' + QString::number(quantity);
}

} // namespace

std::vector<SaleRecord> SelectNewRecords(
    const std::vector<StoredSale>& stored, const std::vector<SaleRecord>& records)
{
    QSet<QString> seen;
    seen.reserve(qsizetype(stored.size() + records.size()));
    for (const StoredSale& s : stored)
        seen.insert(tradeKey(s.time, s.buyer, s.buyerCode, s.price, s.quantity));
    std::vector<SaleRecord> added;
    for (const SaleRecord& r : records) {
        const QString key = tradeKey(r.time, r.buyer, r.buyerCode, r.price, r.quantity);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        added.push_back(r);
    }
    return added;
}

} // namespace quel::download
