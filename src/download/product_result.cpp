#include "download/product_result.h"

#include "download/result_text.h"

#include <algorithm>
#include <cmath>

namespace quel::download {

ProductResult ParseProductResult(const QString& text)
{
    ProductResult result;
    if (text.isEmpty())
        return result;
    const QStringList lines = text.split(kLineSeparator);
    if (lines.first().isEmpty())
        return result;
    result.head = lines.first().split(kFieldSeparator);
    if (result.head.value(3).isEmpty()) {
        result.status = ProductResult::Status::NoStyle;
        return result;
    }
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QStringList f = lines[i].split(kFieldSeparator);
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

std::vector<SaleRecord> SelectNewRecords(
    const std::vector<StoredSale>& stored, const std::vector<SaleRecord>& records)
{
    std::vector<SaleRecord> added;
    if (stored.empty()) {
        added = records;
        return added;
    }
    // The walk sees the stored rows followed by the rows added so far, in that order.
    std::vector<StoredSale> walk = stored;
    for (const SaleRecord& r : records) {
        bool matched = false;
        for (const StoredSale& row : walk) {
            if (r.time > row.time)
                continue;
            if (r.time < row.time)
                break;
            if (r.buyer == row.buyer) {
                matched = true;
                break;
            }
        }
        if (matched)
            break;
        added.push_back(r);
        walk.push_back({ r.time, r.buyer });
    }
    return added;
}

} // namespace quel::download
