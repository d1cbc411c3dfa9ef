#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quel::market {

enum class Fault
{
    None,
    ServerError, // HTTP 500 with a short error page
    Dropped, // the connection closes before a single byte of the response
    Truncated, // the head announces the full length, half the body comes, then the close
    Stalled, // the head is sent, then nothing until the stall time is over, then the close
    Unavailable, // HTTP 503 with a Retry-After header (only when scripted)
};

// A fault a test asks for: every request whose target contains targetPart gets the fault at
// the given attempt of that target (0 = its first request; -1 = every attempt).
struct ScriptedFault
{
    std::string targetPart;
    int attempt = 0;
    Fault fault = Fault::None;
};

const char* faultName(Fault fault);

// Decides which requests fail. The decision is a pure function of the seed, the request
// target (path and query) and how many times that target was asked for before, so a run is
// reproducible and a retry of a failed address may succeed. Scripted faults come first.
class FaultPlan
{
public:
    FaultPlan(std::uint64_t seed, double rate, std::vector<ScriptedFault> script = {});

    // Counts the request and returns its fault.
    Fault next(std::string_view target);
    // The fault the given attempt (0 = first request) of a target gets.
    Fault decide(std::string_view target, std::uint64_t attempt) const;
    double rate() const { return m_rate; }

private:
    std::uint64_t m_seed;
    double m_rate;
    std::vector<ScriptedFault> m_script;
    std::mutex m_mutex;
    std::unordered_map<std::string, std::uint64_t> m_attempts;
};

} // namespace quel::market
