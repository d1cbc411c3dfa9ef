#pragma once

#include "market/catalogue.h"
#include "market/fault_plan.h"
#include "market/market_options.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quel::market {

// The demo marketplace over HTTP on 127.0.0.1. Pages are GBK with the charset in the
// Content-Type header; each rendered page is kept (per host and address) so that a page is
// generated and encoded once.
//
// Addresses:
//   /browse/ad_search.htm                  search form "mainform" (q, nick, "  搜 索  ")
//   /search?q=..&nick=..&page=N            results, 40 per page; q and nick GBK-encoded
//                                          (ie=utf-8 switches to UTF-8)
//   /item.htm?id=CODE&page_size=90         item page; &tab=deal&bid_page=N opens the sales
//   /auction/item_detail.htm?xid=X&item_num_id=N&page_size=90   record at page N
//   /mall/item.htm?id=CODE                 mall items (their list links go here)
//   /member/user_profile.php?user_id=ID    buyer profile
//   /shop/view_shop-CODE.htm, /shop/xshop/shop_intro.htm, /rate/user-rate-ID.htm
class MarketServer
{
public:
    explicit MarketServer(const MarketOptions& options);
    ~MarketServer();
    MarketServer(const MarketServer&) = delete;
    MarketServer& operator=(const MarketServer&) = delete;

    // Binds 127.0.0.1 at options.port (0: a free port); returns the port or -1.
    int bind();
    // Serves until stop(); returns false when the server was not bound.
    bool serve();
    // From any thread, also before serve() has started; wakes delayed and stalled requests.
    void stop();

    // True while the listening loop runs.
    bool isRunning() const;
    int port() const;
    std::string baseUrl() const; // "http://127.0.0.1:PORT"
    const Catalogue& catalogue() const;

    // Receives one line per request; by default (options.logRequests) the lines go to stderr.
    void setLogSink(std::function<void(std::string_view line)> sink);

    struct Counters
    {
        std::uint64_t requests = 0;
        std::array<std::uint64_t, kFaultKinds> faults {}; // indexed by Fault
        std::uint64_t rateLimited = 0; // answered 429
    };
    Counters counters() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quel::market
