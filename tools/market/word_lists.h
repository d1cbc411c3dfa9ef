#pragma once

#include <span>

namespace quel::market {

// A product family: the same article as sold by many shops under varying titles.
struct Family
{
    const char* brand;
    const char* model;
    const char* category;
    double basePrice; // yuan
};

// Province (as the profile pages name it) with a few of its cities.
struct Province
{
    const char* name;
    std::span<const char* const> cities;
    int weight; // share of buyers and shops, relative
};

std::span<const Family> families();
// The family listed at every second slot of the first 200 products (see Fixtures).
const Family& threePageFamily();
std::span<const Province> provinces();
// Title decorations; each one holds "正品" so that one keyword reaches every product.
std::span<const char* const> genuineTags();
std::span<const char* const> titleSuffixes();
std::span<const char* const> shopNameHeads();
std::span<const char* const> shopNameTails();
std::span<const char* const> nickHeads();
std::span<const char* const> nickTails();
std::span<const char* const> latinNicks();
std::span<const char* const> itemTypes();

} // namespace quel::market
