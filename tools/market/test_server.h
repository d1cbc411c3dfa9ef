#pragma once

#include "market/fixtures.h"
#include "market/market_server.h"

#include <string>
#include <thread>

namespace quel::market {

// The demo marketplace in the calling process, for tests: serves on a free 127.0.0.1 port
// from a background thread as soon as the constructor returns, and stops (promptly, also
// with requests in a delay or stall) in the destructor.
//
//     quel::market::TestServer market;               // seed 1, 600 items, now 2026-12-07 12:00
//     QString base = QString::fromStdString(market.baseUrl());   // for --market / QUELMAR_MARKET
//     std::string kw = quel::market::Fixtures::threePageKeyword();
//     std::string item = market.fixtures().notViewableCode();
class TestServer
{
public:
    explicit TestServer(const MarketOptions& options = MarketOptions::forTests());
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // False when no port could be bound or the server did not come up.
    bool isRunning() const;
    int port() const { return m_server.port(); }
    std::string baseUrl() const { return m_server.baseUrl(); }
    std::string searchFormUrl() const;
    // The worker's address for a product code: two-part codes use the auction form.
    std::string itemUrl(const std::string& code) const;
    std::string profileUrl(const std::string& buyerCode) const;

    const Catalogue& catalogue() const { return m_server.catalogue(); }
    Fixtures fixtures() const { return Fixtures(m_server.catalogue()); }
    MarketServer& server() { return m_server; }
    void stop();

private:
    MarketServer m_server;
    std::thread m_thread;
};

} // namespace quel::market
