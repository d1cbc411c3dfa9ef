#pragma once

#include <cstddef>
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
    // Page rewrites: the answer is HTTP 200 and looks whole to the transport, but the page is
    // not what it claims, the way real sites misbehave (scripted or by --rewrite-rate).
    LoginWall, // a login page instead of the page asked for
    NoRecordTable, // the sales tab shows a login notice where its record table belongs
    CutClosed, // half the body, no Content-Length, then the close
    LyingLength, // a Content-Length of half the body, and that half
    ShiftedRows, // sales pages from 2 on start one record earlier (a sale arrived meanwhile)
    SelfPager, // the sales pager's next link points to the page it is on
    ScriptPager, // an active next-page link inside a script, and none on the page
    SearchLoop, // a result page's next link leads back to page 1
};

inline constexpr std::size_t kFaultKinds = 14;

// The rewrites, in the order --rewrite-rate picks them and --rewrite names them.
bool isRewrite(Fault fault);
// "login-wall" -> Fault::LoginWall; Fault::None for an unknown name.
Fault rewriteByName(std::string_view name);

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
    // rewriteRate: this share of requests (besides rate) gets one of the page rewrites.
    FaultPlan(std::uint64_t seed, double rate, std::vector<ScriptedFault> script = {},
        double rewriteRate = 0);

    // Counts the request and returns its fault.
    Fault next(std::string_view target);
    // The fault the given attempt (0 = first request) of a target gets.
    Fault decide(std::string_view target, std::uint64_t attempt) const;
    double rate() const { return m_rate; }

private:
    std::uint64_t m_seed;
    double m_rate;
    double m_rewriteRate;
    std::vector<ScriptedFault> m_script;
    std::mutex m_mutex;
    std::unordered_map<std::string, std::uint64_t> m_attempts;
};

} // namespace quel::market
