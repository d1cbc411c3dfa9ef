#include "market/price_moves.h"

#include "market/civil_time.h"
#include "market/rng.h"

#include <cmath>

namespace quel::market {

namespace {

constexpr double kChangeChance = 0.2;
constexpr double kLevelSpread = 0.065;
// Farther than this from the last change (a chance of 0.8^120) the generated price stands.
constexpr int kLookBackDays = 120;

// Whether the item changes price on the day and, if so, its level relative to the price.
bool changeOn(std::uint64_t seed, int item, std::int64_t day, double* level)
{
    Rng rng { seed, 0x9c1ce5ULL, static_cast<std::uint64_t>(item),
        static_cast<std::uint64_t>(day) };
    if (!rng.chance(kChangeChance))
        return false;
    *level = 1 + kLevelSpread * (2 * rng.uniform() - 1);
    return true;
}

double roundedLike(double generated, double value)
{
    return generated >= 100 ? std::round(value) : std::round(value * 10) / 10;
}

} // namespace

std::int64_t priceAnchorDay()
{
    return dayOf(toSeconds(2026, 12, 7));
}

double priceOnDay(std::uint64_t seed, int item, double price, std::int64_t day)
{
    if (!(price > 0))
        return price;
    const std::int64_t anchor = priceAnchorDay();
    double level = 1;
    // After the anchor a day shows the level of the last change up to it; before the anchor,
    // walking back in time, the level of the next change after it (the anchor's own price
    // is the generated one either way).
    if (day > anchor) {
        for (std::int64_t d = day; d > anchor && d > day - kLookBackDays; --d) {
            if (changeOn(seed, item, d, &level))
                return roundedLike(price, price * level);
        }
    } else {
        for (std::int64_t d = day + 1; d <= anchor && d <= day + kLookBackDays; ++d) {
            if (changeOn(seed, item, d, &level))
                return roundedLike(price, price * level);
        }
    }
    return price;
}

} // namespace quel::market
