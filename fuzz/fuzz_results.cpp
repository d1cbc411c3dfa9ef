// Worker result files as quelmar reads them back: the file text decoded, a product result
// taken apart and its new records chosen, a buyer result turned into its update.

#include "core/text_files.h"
#include "core/worker_protocol.h"
#include "download/buyer_result.h"
#include "download/product_result.h"
#include "download/result_text.h"

#include <QByteArray>
#include <QDate>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quel::download;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = quel::core::DecodeTextFile(bytes);

    const ProductResult product = ParseProductResult(text);
    if (product.ok()) {
        // Stored sales that overlap the result's own records, so that the import meets
        // trades it holds already.
        std::vector<StoredSale> stored;
        for (std::size_t i = 0; i < product.records.size() && i < 4; i += 2) {
            const SaleRecord& r = product.records[i];
            stored.push_back({ r.time, r.buyer, r.buyerCode, r.price, r.quantity });
        }
        (void)SelectNewRecords(stored, product.records);
        (void)SelectNewRecords({}, product.records);
    }
    (void)BuildBuyerUpdate(text, 42, QDate(2026, 12, 7));
    for (const QString& field : text.left(4096).split(quel::core::kResultFieldSeparator)) {
        (void)LeadingNumber(field);
        (void)ParseResultDateTime(field);
    }
    return 0;
}
