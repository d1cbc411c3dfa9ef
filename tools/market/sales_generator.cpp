#include "market/sales_generator.h"

#include "market/rng.h"
#include "market/word_lists.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quel::market {
namespace {

// Shoppers' day: quiet at night, a morning and an afternoon peak, the busiest evening hours.
constexpr double kHourWeights[24]
    = { 2, 1, 1, 0.5, 0.3, 0.3, 0.5, 1, 2, 4, 6, 6, 5, 5, 6, 6, 5, 4, 4, 5, 7, 8, 7, 4 };
// Sunday first.
constexpr double kWeekdayFactor[7] = { 1.25, 0.9, 0.95, 0.95, 1.0, 1.05, 1.2 };
constexpr double kMonthFactor[12]
    = { 1.05, 0.7, 0.95, 1.0, 1.0, 1.05, 0.95, 0.95, 1.0, 1.05, 1.35, 1.25 };

int poisson(Rng& rng, double lambda)
{
    if (lambda <= 0)
        return 0;
    if (lambda > 30) {
        // Normal approximation (Box-Muller) where the product loop would be slow.
        const double u1 = std::max(rng.uniform(), 1e-12);
        const double u2 = rng.uniform();
        const double z = std::sqrt(-2 * std::log(u1)) * std::cos(2 * std::numbers::pi * u2);
        return std::max(0, static_cast<int>(std::lround(lambda + z * std::sqrt(lambda))));
    }
    const double limit = std::exp(-lambda);
    int k = 0;
    double p = rng.uniform();
    while (p > limit) {
        ++k;
        p *= rng.uniform();
    }
    return k;
}

int drawHour(Rng& rng)
{
    double total = 0;
    for (double w : kHourWeights)
        total += w;
    double x = rng.uniform() * total;
    for (int h = 0; h < 24; ++h) {
        x -= kHourWeights[h];
        if (x < 0)
            return h;
    }
    return 23;
}

double roundCents(double v)
{
    return std::round(v * 100) / 100;
}

} // namespace

double meanDemandFactor()
{
    double week = 0, month = 0;
    for (double f : kWeekdayFactor)
        week += f;
    for (double f : kMonthFactor)
        month += f;
    return week / 7 * month / 12;
}

std::vector<Sale> generateSales(
    const Product& product, const SalesShape& shape, Seconds now, int windowDays)
{
    std::vector<Sale> sales;
    if (product.expectedRecords <= 0)
        return sales;
    const double perDay = product.expectedRecords / windowDays / meanDemandFactor();
    const std::int64_t lastDay = dayOf(now);
    const auto idx = static_cast<std::uint64_t>(product.index);
    for (std::int64_t day = lastDay - windowDays + 1; day <= lastDay; ++day) {
        const CivilTime c = toCivil(day * kSecondsPerDay);
        const double trend = 1
            + 0.35
                * std::sin(2 * std::numbers::pi * static_cast<double>(day) / product.trendPeriodDays
                    + product.trendPhase);
        const double lambda
            = perDay * kWeekdayFactor[c.weekday] * kMonthFactor[c.month - 1] * trend;
        Rng rng { shape.seed, 0x5a1e5ULL, idx, static_cast<std::uint64_t>(day) };
        const int count = poisson(rng, lambda);
        for (int i = 0; i < count; ++i) {
            Sale s;
            s.time = day * kSecondsPerDay + drawHour(rng) * 3600 + rng.between(0, 59) * 60
                + rng.between(0, 59);
            const double q = rng.uniform();
            s.quantity = q < 0.8 ? 1 : q < 0.92 ? 2 : static_cast<int>(rng.between(3, 5));
            const double base
                = product.price > 0 ? product.price : families()[product.family].basePrice;
            s.price = rng.chance(0.15) ? roundCents(base * (0.9 + 0.08 * rng.uniform()))
                                       : roundCents(base);
            if (rng.chance(0.02)) {
                s.buyer = -1;
            } else {
                // Squaring the uniform makes low ranks (the regulars) come back often.
                const double u = rng.uniform();
                const auto rank = static_cast<std::uint64_t>(shape.buyerCount * u * u * u);
                s.buyer = static_cast<int>((rank * shape.buyerStride + shape.buyerOffset)
                    % static_cast<std::uint64_t>(shape.buyerCount));
            }
            // Drawn before the cut so that the draws of a day never depend on "now".
            if (s.time <= now)
                sales.push_back(s);
        }
    }
    std::stable_sort(
        sales.begin(), sales.end(), [](const Sale& a, const Sale& b) { return a.time > b.time; });
    sales.erase(std::unique(sales.begin(), sales.end(),
                    [](const Sale& a, const Sale& b) { return a.time == b.time; }),
        sales.end());
    return sales;
}

} // namespace quel::market
