#include "market/market_options.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace quel::market {
namespace {

bool readInt(const std::string& text, long long lo, long long hi, long long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool readUnsigned(const std::string& text, std::uint64_t& out)
{
    if (text.empty() || text[0] == '-')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    out = v;
    return true;
}

bool readRate(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !(v >= 0.0 && v <= 1.0))
        return false;
    out = v;
    return true;
}

} // namespace

MarketOptions MarketOptions::forTests()
{
    MarketOptions o;
    o.now = toSeconds(2026, 12, 7, 12, 0, 0);
    o.logRequests = false;
    return o;
}

std::string marketUsage()
{
    return "usage: quelmarket [options]\n"
           "  --port N                 listen on 127.0.0.1:N (0, the default, picks a free port)\n"
           "  --seed N                 generator seed (default 1)\n"
           "  --products N             number of items, 1..200000 (default 600)\n"
           "  --sales-per-product A-B  expected sales records per item (default 0-300)\n"
           "  --buyers N               number of buyers, 1..1000000 (default 3000)\n"
           "  --now DATE               the marketplace's date, YYYY-MM-DD[ HH:MM[:SS]]\n"
           "                           (default: the local time now)\n"
           "  --delay-ms N             delay every response by N ms\n"
           "  --fail-rate F            answer this share (0..1) of requests with a fault:\n"
           "                           HTTP 500, dropped connection, truncated body, stall\n"
           "  --rewrite-rate F         rewrite this share (0..1) of pages the way broken sites\n"
           "                           serve them: login wall, sales table missing, body cut\n"
           "                           without length, lying Content-Length, rows shifted\n"
           "                           between pages, self-linking or scripted pager, search\n"
           "                           pager back to page 1\n"
           "  --rewrite KIND[@PART]    rewrite every page whose address holds PART (default:\n"
           "                           every page) with KIND (login-wall, no-record-table,\n"
           "                           cut-closed, lying-length, shifted-rows, self-pager,\n"
           "                           script-pager, search-loop); may be repeated\n"
           "  --stall-ms N             how long a stalled response hangs (default 30000)\n"
           "  --rate-limit N           serve at most N requests per second; answer the others\n"
           "                           with HTTP 429 and Retry-After (default: no limit)\n"
           "  --quiet                  no request log on stderr\n";
}

ParsedOptions parseMarketArguments(const std::vector<std::string>& args)
{
    ParsedOptions parsed;
    MarketOptions& o = parsed.options;
    bool nowGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            parsed.showHelp = true;
            continue;
        }
        if (name == "--quiet") {
            o.logRequests = false;
            continue;
        }
        if (i + 1 >= args.size()) {
            parsed.error = name.rfind("--", 0) == 0 ? "missing value for " + name
                                                    : "unknown argument " + name;
            return parsed;
        }
        const std::string& value = args[++i];
        long long n = 0;
        bool ok = true;
        if (name == "--port") {
            ok = readInt(value, 0, 65535, n);
            o.port = static_cast<int>(n);
        } else if (name == "--seed") {
            ok = readUnsigned(value, o.seed);
        } else if (name == "--products") {
            ok = readInt(value, 1, 200000, n);
            o.products = static_cast<int>(n);
        } else if (name == "--buyers") {
            ok = readInt(value, 1, 1000000, n);
            o.buyers = static_cast<int>(n);
        } else if (name == "--sales-per-product") {
            const auto dash = value.find('-', 1);
            long long lo = 0, hi = 0;
            if (dash == std::string::npos) {
                ok = readInt(value, 0, 100000, lo);
                hi = lo;
            } else {
                ok = readInt(value.substr(0, dash), 0, 100000, lo)
                    && readInt(value.substr(dash + 1), 0, 100000, hi) && lo <= hi;
            }
            o.salesMin = static_cast<int>(lo);
            o.salesMax = static_cast<int>(hi);
        } else if (name == "--now") {
            const auto t = parseCivilTime(value);
            ok = t.has_value();
            if (ok)
                o.now = *t;
            nowGiven = true;
        } else if (name == "--delay-ms") {
            ok = readInt(value, 0, 600000, n);
            o.delayMs = static_cast<int>(n);
        } else if (name == "--stall-ms") {
            ok = readInt(value, 0, 3600000, n);
            o.stallMs = static_cast<int>(n);
        } else if (name == "--rate-limit") {
            char* end = nullptr;
            o.rateLimit = std::strtod(value.c_str(), &end);
            ok = !value.empty() && *end == '\0' && o.rateLimit >= 0 && o.rateLimit <= 1e6;
        } else if (name == "--fail-rate") {
            ok = readRate(value, o.failRate);
        } else if (name == "--rewrite-rate") {
            ok = readRate(value, o.rewriteRate);
        } else if (name == "--rewrite") {
            const auto at = value.find('@');
            ScriptedFault rewrite;
            rewrite.fault = rewriteByName(value.substr(0, at));
            rewrite.attempt = -1;
            if (at != std::string::npos)
                rewrite.targetPart = value.substr(at + 1);
            ok = rewrite.fault != Fault::None;
            o.scriptedFaults.push_back(rewrite);
        } else {
            parsed.error = "unknown argument " + name;
            return parsed;
        }
        if (!ok) {
            parsed.error = "bad value for " + name + ": " + value;
            return parsed;
        }
    }
    if (!nowGiven)
        o.now = localNow();
    return parsed;
}

} // namespace quel::market
