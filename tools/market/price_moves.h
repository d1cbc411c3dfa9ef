#pragma once

#include <cstdint>

namespace quel::market {

// Prices stand as generated on this day (2026-12-07, the fixtures' date), so every fixture
// keeps its price; on other days about two items in ten change price each day.
std::int64_t priceAnchorDay();

// The price of an item on a day, from the seed, the item and the day alone: a listed price
// (`price` > 0, whole yuan from 100 up, else tenths) moves to a level within 6.5% of it on
// each change day, so that one change is at most 15%; an unpriced item stays at 0.
double priceOnDay(std::uint64_t seed, int item, double price, std::int64_t day);

} // namespace quel::market
