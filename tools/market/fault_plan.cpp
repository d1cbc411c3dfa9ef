#include "market/fault_plan.h"

#include "market/rng.h"

#include <algorithm>
#include <iterator>

namespace quel::market {

const char* faultName(Fault fault)
{
    switch (fault) {
    case Fault::None:
        return "none";
    case Fault::ServerError:
        return "http-500";
    case Fault::Dropped:
        return "dropped";
    case Fault::Truncated:
        return "truncated";
    case Fault::Stalled:
        return "stalled";
    case Fault::Unavailable:
        return "http-503";
    case Fault::LoginWall:
        return "login-wall";
    case Fault::NoRecordTable:
        return "no-record-table";
    case Fault::CutClosed:
        return "cut-closed";
    case Fault::LyingLength:
        return "lying-length";
    case Fault::ShiftedRows:
        return "shifted-rows";
    case Fault::SelfPager:
        return "self-pager";
    case Fault::ScriptPager:
        return "script-pager";
    case Fault::SearchLoop:
        return "search-loop";
    }
    return "none";
}

namespace {

constexpr Fault kRewrites[]
    = { Fault::LoginWall, Fault::NoRecordTable, Fault::CutClosed, Fault::LyingLength,
          Fault::ShiftedRows, Fault::SelfPager, Fault::ScriptPager, Fault::SearchLoop };

} // namespace

bool isRewrite(Fault fault)
{
    return std::find(std::begin(kRewrites), std::end(kRewrites), fault) != std::end(kRewrites);
}

Fault rewriteByName(std::string_view name)
{
    for (const Fault fault : kRewrites)
        if (name == faultName(fault))
            return fault;
    return Fault::None;
}

FaultPlan::FaultPlan(
    std::uint64_t seed, double rate, std::vector<ScriptedFault> script, double rewriteRate)
    : m_seed(seed)
    , m_rate(rate)
    , m_rewriteRate(rewriteRate)
    , m_script(std::move(script))
{ }

Fault FaultPlan::decide(std::string_view target, std::uint64_t attempt) const
{
    for (const ScriptedFault& s : m_script) {
        if (target.find(s.targetPart) != std::string_view::npos
            && (s.attempt < 0 || std::uint64_t(s.attempt) == attempt))
            return s.fault;
    }
    if (m_rewriteRate > 0) {
        Rng rewrite { m_seed, 0x5e7e1ULL, hashText(target), attempt };
        if (rewrite.chance(m_rewriteRate))
            return kRewrites[rewrite.between(0, int(std::size(kRewrites)) - 1)];
    }
    if (m_rate <= 0)
        return Fault::None;
    Rng rng { m_seed, 0xfa017ULL, hashText(target), attempt };
    if (!rng.chance(m_rate))
        return Fault::None;
    switch (rng.between(0, 3)) {
    case 0:
        return Fault::ServerError;
    case 1:
        return Fault::Dropped;
    case 2:
        return Fault::Truncated;
    default:
        return Fault::Stalled;
    }
}

Fault FaultPlan::next(std::string_view target)
{
    if (m_rate <= 0 && m_rewriteRate <= 0 && m_script.empty())
        return Fault::None;
    std::uint64_t attempt = 0;
    {
        std::lock_guard lock(m_mutex);
        // Bounded memory on a long run: forgetting the counts only restarts the sequence.
        if (m_attempts.size() > 200000)
            m_attempts.clear();
        attempt = m_attempts[std::string(target)]++;
    }
    return decide(target, attempt);
}

} // namespace quel::market
