#include "market/test_server.h"

#include <chrono>

namespace quel::market {

TestServer::TestServer(const MarketOptions& options)
    : m_server([&] {
        MarketOptions o = options;
        o.port = 0;
        return o;
    }())
{
    if (m_server.bind() <= 0)
        return;
    m_thread = std::thread([this] { m_server.serve(); });
    for (int i = 0; i < 5000 && !m_server.isRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestServer::~TestServer()
{
    stop();
}

void TestServer::stop()
{
    m_server.stop();
    if (m_thread.joinable())
        m_thread.join();
}

bool TestServer::isRunning() const
{
    return m_server.isRunning();
}

std::string TestServer::searchFormUrl() const
{
    return baseUrl() + "/browse/ad_search.htm";
}

std::string TestServer::itemUrl(const std::string& code) const
{
    const auto dash = code.find('-');
    if (dash == std::string::npos)
        return baseUrl() + "/item.htm?id=" + code + "&page_size=90";
    std::string second = code.substr(dash + 1);
    second = second.substr(0, second.find('-'));
    return baseUrl() + "/auction/item_detail.htm?xid=" + code.substr(0, dash)
        + "&item_num_id=" + second + "&page_size=90";
}

std::string TestServer::profileUrl(const std::string& buyerCode) const
{
    return baseUrl() + "/member/user_profile.php?user_id=" + buyerCode;
}

} // namespace quel::market
