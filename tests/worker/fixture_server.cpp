#include "fixture_server.h"

#include "page_fixtures.h"

#include <QFile>
#include <chrono>
#include <httplib.h>

namespace quel::worker::test {

namespace {

QByteArray fixtureFile(const std::string& name)
{
    QFile file(pagesDir() + u'/' + QString::fromStdString(name));
    if (name.find("..") != std::string::npos || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::string pageFor(const httplib::Request& request)
{
    if (request.path == "/item.htm")
        return "item_" + request.get_param_value("id") + ".html";
    if (request.path == "/auction/item_detail.htm")
        return "auction_" + request.get_param_value("xid") + "_"
            + request.get_param_value("item_num_id") + ".html";
    if (request.path == "/member/user_profile.php")
        return "profile_" + request.get_param_value("user_id") + ".html";
    if (request.path == "/shop/xshop/shop_intro.htm")
        return "profile_ok.html";
    return request.path.substr(1);
}

} // namespace

FixtureServer::FixtureServer()
    : m_server(std::make_unique<httplib::Server>())
{
    m_server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        ++m_requests;
        const std::string id = request.get_param_value("id");
        if (id == "status500") {
            response.status = 500;
            response.set_content(
                "<html><body><h1>服务器错误</h1></body></html>", "text/html; charset=utf-8");
            return;
        }
        if (id == "nested") {
            std::string page = "<html><body>";
            for (int i = 0; i < 200000; ++i)
                page += "<div>";
            response.set_content(page, "text/html; charset=utf-8");
            return;
        }
        if (id.rfind("stall", 0) == 0
            || request.get_param_value("user_id").rfind("stall", 0) == 0) {
            const auto until
                = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_stallMs.load());
            while (!m_stopping && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const QByteArray page = fixtureFile(pageFor(request));
        if (page.isEmpty()) {
            response.status = 404;
            response.set_content(
                "<html><body>没有这个网页</body></html>", "text/html; charset=utf-8");
            return;
        }
        // The fixed pages are body fragments; served, they end as a whole page does.
        response.set_content(
            "<html><body>" + page.toStdString() + "</body></html>\n", "text/html; charset=utf-8");
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() only ends a server whose loop has started.
    for (int i = 0; i < 500 && !m_server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

FixtureServer::~FixtureServer()
{
    m_stopping = true;
    m_server->stop();
    m_thread.join();
}

QString FixtureServer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

} // namespace quel::worker::test
