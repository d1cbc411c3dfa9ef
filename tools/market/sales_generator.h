#pragma once

#include "market/catalogue.h"

#include <vector>

namespace quel::market {

// How sales of one item are spread: a per-day Poisson count shaped by the weekday, the month
// and the item's own slow trend, times of day following the shoppers' daily rhythm, and
// buyers drawn with a skew so that regulars buy again. Each day is drawn from its own key
// (seed, item, day), independent of "now".
struct SalesShape
{
    std::uint64_t seed = 0;
    int buyerCount = 1;
    std::uint64_t buyerStride = 1; // coprime with buyerCount: scatters the regulars
    std::uint64_t buyerOffset = 0;
};

// Records of the days [now - window + 1, now] up to the time "now", newest first, with
// distinct times.
std::vector<Sale> generateSales(
    const Product& product, const SalesShape& shape, Seconds now, int windowDays);

// Average of the weekday, month and trend factors, so that expected counts come out right.
double meanDemandFactor();

} // namespace quel::market
