#include "market/market_server.h"

#include "market/gbk.h"
#include "market/pages.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <httplib.h>
#include <mutex>
#include <netinet/in.h>
#include <shared_mutex>
#include <sys/socket.h>
#include <unordered_map>

namespace quel::market {
namespace {

constexpr const char* kContentType = "text/html; charset=GBK";
constexpr std::size_t kCacheLimitBytes = 256u << 20;

struct Page
{
    int status = 200;
    std::shared_ptr<const std::string> body; // GBK
};

// The Host header goes into every link; anything but a plain host:port is not trusted.
bool plainHost(std::string_view host)
{
    if (host.empty() || host.size() > 255)
        return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    });
}

// Query text as the client sent it: GBK from the marketplace's own forms, UTF-8 when asked
// for (ie=utf-8) or when the bytes make sense only as UTF-8.
std::string decodeQueryText(const std::string& raw, const std::string& ie)
{
    if (ie == "utf-8" || ie == "utf8" || ie == "UTF-8")
        return isValidUtf8(raw) ? raw : gbkToUtf8(raw);
    const std::string fromGbk = gbkToUtf8(raw);
    if (fromGbk.find("\xef\xbf\xbd") == std::string::npos)
        return fromGbk;
    return isValidUtf8(raw) ? raw : fromGbk;
}

int intParam(const httplib::Request& req, const char* name, int fallback, int lo, int hi)
{
    if (!req.has_param(name))
        return fallback;
    const std::string v = req.get_param_value(name);
    char* end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (end == v.c_str())
        return fallback;
    return static_cast<int>(std::clamp<long>(n, lo, hi));
}

std::string clockText()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local {};
    localtime_r(&t, &local);
    const auto ms
        = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count()
        % 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
        static_cast<int>(ms));
    return buf;
}

// Shuts down the accepted socket of one client connection (our port, the client's port), so
// that the client sees the connection end without a single byte of response. The socket
// stays open until this request's handler returns, so the one found is this connection.
bool dropConnection(int localPort, int remotePort)
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return false;
    bool dropped = false;
    while (const dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0')
            continue;
        sockaddr_in local {}, peer {};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLength)
                != 0
            || local.sin_family != AF_INET || ntohs(local.sin_port) != localPort)
            continue;
        if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0
            || ntohs(peer.sin_port) != remotePort)
            continue;
        dropped = shutdown(static_cast<int>(fd), SHUT_RDWR) == 0;
        break;
    }
    closedir(dir);
    return dropped;
}

} // namespace

struct MarketServer::Impl
{
    explicit Impl(const MarketOptions& o)
        : options(o)
        , catalogue(o)
        , faults(o.seed, o.failRate, o.scriptedFaults, o.rewriteRate)
    { }

    void handle(const httplib::Request& req, httplib::Response& res);
    Page lookup(const httplib::Request& req, const std::string& base);
    Page render(const httplib::Request& req, const std::string& base, Fault rewrite = Fault::None);
    bool sleepUnlessStopped(int ms);
    bool overRateLimit();
    void log(std::string_view line);

    MarketOptions options;
    Catalogue catalogue;
    FaultPlan faults;
    httplib::Server http;
    int port = -1;

    std::shared_mutex cacheMutex;
    std::unordered_map<std::string, Page> cache;
    std::size_t cacheBytes = 0;

    std::mutex stopMutex;
    std::condition_variable stopWake;
    std::atomic<bool> stopping { false };
    std::atomic<bool> serveStarted { false };
    std::atomic<bool> serveDone { false };

    std::mutex logMutex;
    std::function<void(std::string_view)> logSink;
    std::atomic<bool> hasLogSink { false };

    std::atomic<std::uint64_t> requests { 0 };
    std::array<std::atomic<std::uint64_t>, kFaultKinds> faultCounts {};
    std::atomic<std::uint64_t> rateLimited { 0 };

    std::mutex rateMutex;
    std::deque<std::chrono::steady_clock::time_point> served; // within the last second
};

bool MarketServer::Impl::overRateLimit()
{
    if (options.rateLimit <= 0)
        return false;
    // N requests in any second; for a rate below one, a single request per 1/N seconds.
    const bool slow = options.rateLimit < 1;
    const std::chrono::duration<double> window(slow ? 1.0 / options.rateLimit : 1.0);
    const auto allowed = static_cast<std::size_t>(slow ? 1.0 : options.rateLimit);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(rateMutex);
    while (!served.empty() && now - served.front() >= window)
        served.pop_front();
    if (served.size() >= allowed)
        return true;
    served.push_back(now);
    return false;
}

bool MarketServer::Impl::sleepUnlessStopped(int ms)
{
    std::unique_lock lock(stopMutex);
    return !stopWake.wait_for(
        lock, std::chrono::milliseconds(ms), [this] { return stopping.load(); });
}

void MarketServer::Impl::log(std::string_view line)
{
    std::lock_guard lock(logMutex);
    if (logSink) {
        logSink(line);
    } else if (options.logRequests) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    }
}

Page MarketServer::Impl::render(const httplib::Request& req, const std::string& base, Fault rewrite)
{
    const PageRenderer pages(catalogue, base, rewrite);
    const std::string& path = req.path;
    Page page;
    std::string html;
    const auto param = [&](const char* name) {
        return req.has_param(name) ? req.get_param_value(name) : std::string();
    };

    if (path == "/" || path == "/index.htm") {
        html = pages.home();
    } else if (path == "/browse/ad_search.htm") {
        html = pages.searchForm();
    } else if (path == "/search") {
        const std::string ie = param("ie");
        html = pages.searchResults(decodeQueryText(param("q"), ie),
            decodeQueryText(param("nick"), ie), intParam(req, "page", 1, 1, 1000000));
    } else if (path == "/item.htm" || path == "/mall/item.htm" || path == "/auction/item_detail.htm"
        || path == "/mall/auction/item_detail.htm") {
        ItemAddress address;
        address.path = path;
        const bool auction = path.find("/auction/") != std::string::npos;
        std::string id;
        if (auction) {
            id = param("item_num_id");
            if (id.empty())
                id = param("xid");
            address.idQuery = "xid=" + percentEncode(param("xid"))
                + "&item_num_id=" + percentEncode(param("item_num_id"));
        } else {
            id = param("id");
            address.idQuery = "id=" + percentEncode(id);
        }
        address.pageSize = intParam(req, "page_size", 15, 1, 200);
        const int salesPage = param("tab") == "deal" ? intParam(req, "bid_page", 1, 1, 1000000) : 0;
        if (const Product* p = catalogue.findProduct(id)) {
            html = rewrite == Fault::LoginWall ? pages.loginWall()
                                               : pages.item(*p, address, salesPage);
        } else {
            Product unknown;
            unknown.viewable = false;
            html = pages.item(unknown, address, 0);
            page.status = 404;
        }
    } else if (path == "/member/user_profile.php") {
        if (const Buyer* b = catalogue.findBuyer(param("user_id"))) {
            html = rewrite == Fault::LoginWall ? pages.loginWall() : pages.profile(*b);
        } else {
            html = pages.notFound("会员");
            page.status = 404;
        }
    } else if (path.rfind("/rate/user-rate-", 0) == 0 && path.size() > 20
        && path.compare(path.size() - 4, 4, ".htm") == 0) {
        const std::string code = path.substr(16, path.size() - 20);
        if (const Buyer* b = catalogue.findBuyer(code)) {
            html = pages.profile(*b);
        } else {
            html = pages.notFound("会员");
            page.status = 404;
        }
    } else if (path == "/shop/xshop/shop_intro.htm") {
        // The worker's built-in test job reads this page as a profile.
        const auto& buyers = catalogue.buyers();
        html = pages.profile(buyers[std::min<std::size_t>(2, buyers.size() - 1)]);
    } else if (path.rfind("/shop/view_shop-", 0) == 0 && path.size() > 20) {
        const std::string code = path.substr(16, path.size() - 20);
        const auto& shops = catalogue.shops();
        const auto it = std::find_if(
            shops.begin(), shops.end(), [&](const Shop& s) { return s.code == code; });
        if (it != shops.end()) {
            html = pages.shop(*it);
        } else {
            html = pages.notFound("店铺");
            page.status = 404;
        }
    } else {
        html = pages.notFound("页面");
        page.status = 404;
    }
    page.body = std::make_shared<const std::string>(utf8ToGbk(html));
    return page;
}

Page MarketServer::Impl::lookup(const httplib::Request& req, const std::string& base)
{
    const std::string key = base + req.target;
    {
        std::shared_lock lock(cacheMutex);
        const auto it = cache.find(key);
        if (it != cache.end())
            return it->second;
    }
    Page page = render(req, base);
    std::unique_lock lock(cacheMutex);
    if (cacheBytes + page.body->size() > kCacheLimitBytes) {
        cache.clear();
        cacheBytes = 0;
    }
    if (cache.emplace(key, page).second)
        cacheBytes += page.body->size() + key.size();
    return page;
}

void MarketServer::Impl::handle(const httplib::Request& req, httplib::Response& res)
{
    const auto started = std::chrono::steady_clock::now();
    requests.fetch_add(1, std::memory_order_relaxed);
    if (options.delayMs > 0)
        sleepUnlessStopped(options.delayMs);

    if (overRateLimit()) {
        rateLimited.fetch_add(1, std::memory_order_relaxed);
        res.status = 429;
        res.set_header("Retry-After", std::to_string(options.retryAfterSeconds));
        res.set_content(
            utf8ToGbk("<html><body>请求过于频繁，请稍后再试</body></html>"), kContentType);
        if (hasLogSink || options.logRequests)
            log(clockText() + " " + req.remote_addr + " " + req.method + " " + req.target + " 429");
        return;
    }

    const Fault fault = faults.next(req.target);
    faultCounts[static_cast<std::size_t>(fault)].fetch_add(1, std::memory_order_relaxed);

    const std::string hostHeader = req.get_header_value("Host");
    const std::string base
        = "http://" + (plainHost(hostHeader) ? hostHeader : "127.0.0.1:" + std::to_string(port));

    Page page;
    if (req.method != "GET" && req.method != "HEAD") {
        page.status = 405;
        page.body = std::make_shared<const std::string>(
            utf8ToGbk(PageRenderer(catalogue, base).notFound("页面")));
    } else if (fault == Fault::ServerError || fault == Fault::Unavailable) {
        page.status = fault == Fault::ServerError ? 500 : 503;
        page.body = std::make_shared<const std::string>(
            utf8ToGbk(PageRenderer(catalogue, base).serverError()));
        if (fault == Fault::Unavailable)
            res.set_header("Retry-After", std::to_string(options.retryAfterSeconds));
    } else if (isRewrite(fault) && fault != Fault::CutClosed && fault != Fault::LyingLength) {
        page = render(req, base, fault); // never cached: the same address serves whole later
    } else {
        page = lookup(req, base);
    }

    res.status = page.status;
    const auto body = page.body;
    switch (fault) {
    case Fault::None:
    case Fault::ServerError:
    case Fault::Unavailable:
    case Fault::LoginWall:
    case Fault::NoRecordTable:
    case Fault::ShiftedRows:
    case Fault::SelfPager:
    case Fault::ScriptPager:
    case Fault::SearchLoop:
        // A fixed-length provider goes out as it stands: the library would otherwise compress
        // every answer anew (brotli at its highest level costs ~0.3 s for an item page), and
        // the server would become the bottleneck of every pipeline run on loopback.
        res.set_content_provider(body->size(), kContentType,
            [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return sink.write(body->data() + offset, length);
            });
        break;
    case Fault::Dropped:
        // Without the socket (another platform, say) the head still goes out before the close.
        dropConnection(port, req.remote_port);
        res.set_content_provider(body->size(), kContentType,
            [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
        break;
    case Fault::Truncated:
        res.set_content_provider(body->size(), kContentType,
            [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                const std::size_t half = body->size() / 2;
                if (offset >= half)
                    return false;
                sink.write(body->data() + offset, half - offset);
                return true;
            });
        break;
    case Fault::CutClosed:
        // No length announced: the close after half the body looks like the page's end.
        res.set_content_provider(kContentType, [body](std::size_t offset, httplib::DataSink& sink) {
            const std::size_t half = body->size() / 2;
            if (offset < half)
                sink.write(body->data() + offset, half - offset);
            sink.done();
            return true;
        });
        break;
    case Fault::LyingLength:
        res.set_content_provider(body->size() / 2, kContentType,
            [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return sink.write(body->data() + offset, length);
            });
        break;
    case Fault::Stalled:
        res.set_content_provider(
            body->size(), kContentType, [this](std::size_t, std::size_t, httplib::DataSink&) {
                sleepUnlessStopped(options.stallMs);
                return false;
            });
        break;
    }

    if (hasLogSink || options.logRequests) {
        const double ms
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                  .count();
        char timing[64];
        std::snprintf(timing, sizeof timing, " %.1fms", ms);
        std::string line = clockText() + " " + req.remote_addr + " " + req.method + " " + req.target
            + " " + std::to_string(page.status) + " " + std::to_string(body->size()) + "B" + timing;
        if (fault != Fault::None)
            line += std::string(" fault=") + faultName(fault);
        log(line);
    }
}

MarketServer::MarketServer(const MarketOptions& options)
    : m_impl(std::make_unique<Impl>(options))
{
    Impl& d = *m_impl;
    d.http.new_task_queue = [] { return new httplib::ThreadPool(64); };
    d.http.set_keep_alive_max_count(100000);
    // Short idle keep-alive so that stop() never waits long for a silent client.
    d.http.set_keep_alive_timeout(1);
    d.http.set_tcp_nodelay(true);
    d.http.set_pre_routing_handler([&d](const httplib::Request& req, httplib::Response& res) {
        d.handle(req, res);
        return httplib::Server::HandlerResponse::Handled;
    });
}

MarketServer::~MarketServer()
{
    stop();
}

int MarketServer::bind()
{
    Impl& d = *m_impl;
    if (d.port > 0)
        return d.port;
    if (d.options.port == 0)
        d.port = d.http.bind_to_any_port("127.0.0.1");
    else
        d.port = d.http.bind_to_port("127.0.0.1", d.options.port) ? d.options.port : -1;
    if (d.port <= 0)
        d.port = -1;
    return d.port;
}

bool MarketServer::serve()
{
    Impl& d = *m_impl;
    if (d.port <= 0)
        return false;
    d.serveStarted = true;
    const bool ok = d.stopping ? true : d.http.listen_after_bind();
    d.serveDone = true;
    return ok;
}

void MarketServer::stop()
{
    Impl& d = *m_impl;
    {
        std::lock_guard lock(d.stopMutex);
        d.stopping = true;
    }
    d.stopWake.notify_all();
    // serve() may be between its own check and the listening loop: wait for the loop so that
    // the stop reaches it.
    for (int i = 0; i < 2000 && d.serveStarted && !d.serveDone && !d.http.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    d.http.stop();
}

bool MarketServer::isRunning() const
{
    return m_impl->http.is_running();
}

int MarketServer::port() const
{
    return m_impl->port;
}

std::string MarketServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_impl->port);
}

const Catalogue& MarketServer::catalogue() const
{
    return m_impl->catalogue;
}

void MarketServer::setLogSink(std::function<void(std::string_view)> sink)
{
    std::lock_guard lock(m_impl->logMutex);
    m_impl->hasLogSink = static_cast<bool>(sink);
    m_impl->logSink = std::move(sink);
}

MarketServer::Counters MarketServer::counters() const
{
    Counters c;
    c.requests = m_impl->requests.load();
    for (std::size_t i = 0; i < c.faults.size(); ++i)
        c.faults[i] = m_impl->faultCounts[i].load();
    c.rateLimited = m_impl->rateLimited.load();
    return c;
}

} // namespace quel::market
