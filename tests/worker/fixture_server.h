#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

namespace httplib {
class Server;
}

namespace quel::worker::test {

// Serves the worker's fixed pages on 127.0.0.1 at the marketplace's addresses:
//   /item.htm?id=X                              pages/item_X.html
//   /auction/item_detail.htm?xid=A&item_num_id=B  pages/auction_A_B.html
//   /member/user_profile.php?user_id=X          pages/profile_X.html
//   /shop/xshop/shop_intro.htm                  pages/profile_ok.html
//   /NAME.html                                  pages/NAME.html
// and, for failures: /item.htm?id=status500 (HTTP 500), a missing file (HTTP 404), and
// ids starting with "stall" that answer only after stallMs, and the id "nested", a page of
// 200,000 unclosed DIV elements.
class FixtureServer
{
public:
    FixtureServer();
    ~FixtureServer();

    QString base() const; // "http://127.0.0.1:PORT"
    int requests() const { return m_requests.load(); }
    void setStallMs(int ms) { m_stallMs = ms; }

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = -1;
    std::atomic<int> m_requests { 0 };
    std::atomic<int> m_stallMs { 3000 };
    std::atomic<bool> m_stopping { false };
};

} // namespace quel::worker::test
