#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace quel::market {

// splitmix64 finaliser: spreads every input bit over the whole word.
constexpr std::uint64_t mix64(std::uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// FNV-1a over the bytes, then mixed, so that short texts differing in one byte land far apart.
constexpr std::uint64_t hashText(std::string_view text)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ULL;
    }
    return mix64(h);
}

// One hash of several parts; the generator derives every decision from such a key so that a
// value never depends on the order in which pages are requested.
constexpr std::uint64_t hashParts(std::initializer_list<std::uint64_t> parts)
{
    std::uint64_t h = 0x51ed270b27a3d7c5ULL;
    for (std::uint64_t p : parts)
        h = mix64(h ^ p);
    return h;
}

// Small deterministic generator (splitmix64 stream).
class Rng
{
public:
    explicit Rng(std::uint64_t seed)
        : m_state(seed)
    { }
    Rng(std::initializer_list<std::uint64_t> parts)
        : m_state(hashParts(parts))
    { }

    std::uint64_t next()
    {
        m_state += 0x9e3779b97f4a7c15ULL;
        std::uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform integer in [lo, hi]; lo when hi < lo.
    long long between(long long lo, long long hi)
    {
        if (hi <= lo)
            return lo;
        const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
        return lo + static_cast<long long>(next() % span);
    }
    bool chance(double p) { return uniform() < p; }

private:
    std::uint64_t m_state;
};

} // namespace quel::market
