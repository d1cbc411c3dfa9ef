#pragma once

#include "market/civil_time.h"
#include "market/fault_plan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quel::market {

// Everything that decides what the demo marketplace serves and how it misbehaves.
struct MarketOptions
{
    std::uint64_t seed = 1;
    int products = 600;
    // Expected number of sales records in an item's record window, drawn per item.
    int salesMin = 0;
    int salesMax = 300;
    int buyers = 3000;
    // The marketplace's "now": the newest sale shown and the end of every 30-day figure.
    Seconds now = 0;

    int port = 0; // 0 picks a free port
    int delayMs = 0; // added to every request
    double failRate = 0.0; // share of requests answered with a fault
    double rewriteRate = 0.0; // share of requests whose page is rewritten (see Fault)
    int stallMs = 30000; // how long a stalled response holds the connection
    // Requests per second served; above it the answer is HTTP 429 with Retry-After (0: no
    // limit).
    double rateLimit = 0;
    int retryAfterSeconds = 1; // the Retry-After of 429 and 503 answers
    std::vector<ScriptedFault> scriptedFaults; // tests: faults at chosen addresses
    bool logRequests = true;

    // Defaults with a fixed "now" (2026-12-07 12:00:00) and no request log: reproducible
    // fixtures for tests.
    static MarketOptions forTests();
};

struct ParsedOptions
{
    MarketOptions options;
    bool showHelp = false;
    std::string error; // non-empty: the arguments were not usable
};

// Reads the program's arguments (without the program name). "now" defaults to the machine's
// local time.
ParsedOptions parseMarketArguments(const std::vector<std::string>& args);
std::string marketUsage();

} // namespace quel::market
