// Fault and latency injection, in-process shutdown with requests pending, and the quelmarket
// program as scripts start it.

#include "market/fault_plan.h"
#include "market/test_server.h"
#include "support/temp_dir.h"

#include <QProcess>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quel::market;
using Clock = std::chrono::steady_clock;

namespace {

long long msSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

TEST(FaultPlan, FaultsHappenAtTheRequestedRateInEveryKind)
{
    for (double rate : { 0.0, 0.05, 0.3, 1.0 }) {
        SCOPED_TRACE(rate);
        FaultPlan plan(11, rate);
        std::array<int, 5> kinds {};
        const int n = 8000;
        for (int i = 0; i < n; ++i)
            ++kinds[static_cast<std::size_t>(
                plan.next("/item.htm?id=" + std::to_string(i) + "&page_size=90"))];
        const int faulted = n - kinds[0];
        EXPECT_NEAR(faulted, rate * n, 4 * std::sqrt(n * rate * (1 - rate)) + 1);
        if (rate > 0) {
            for (std::size_t k = 1; k < kinds.size(); ++k)
                EXPECT_GT(kinds[k], faulted / 4 - faulted / 10) << faultName(static_cast<Fault>(k));
        }
    }
}

TEST(FaultPlan, DecidedBySeedPathAndAttempt)
{
    FaultPlan a(3, 0.5), b(3, 0.5), other(4, 0.5);
    int sameAsOtherSeed = 0, retryDiffers = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string path = "/member/user_profile.php?user_id=u" + std::to_string(i);
        const Fault first = a.next(path);
        EXPECT_EQ(first, b.next(path));
        EXPECT_EQ(first, a.decide(path, 0));
        sameAsOtherSeed += first == other.decide(path, 0) ? 1 : 0;
        // The second request of an address is decided afresh, so a retry may succeed.
        retryDiffers += a.next(path) != first ? 1 : 0;
    }
    EXPECT_LT(sameAsOtherSeed, 300);
    EXPECT_GT(retryDiffers, 100);
}

// Everything the server sends for one request on a fresh connection, until it closes.
std::string rawGet(int port, const std::string& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout { 5, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string received;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:"
            + std::to_string(port) + "\r\nConnection: close\r\n\r\n";
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buf[8192];
        ssize_t n = 0;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0)
            received.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return received;
}

TEST(MarketServerFaults, EachFaultReachesTheClientAsItsKind)
{
    MarketOptions o = MarketOptions::forTests();
    o.failRate = 1.0;
    o.stallMs = 300;
    TestServer market(o);
    ASSERT_TRUE(market.isRunning());
    FaultPlan expected(o.seed, o.failRate);
    std::array<int, 5> seen {};
    for (int i = 0; i < 24; ++i) {
        const std::string path = "/item.htm?id="
            + market.catalogue().products()[static_cast<std::size_t>(i)].code + "&page_size=90";
        const Fault fault = expected.decide(path, 0);
        SCOPED_TRACE(faultName(fault));
        const auto started = Clock::now();
        const std::string got = rawGet(market.port(), path);
        const auto headEnd = got.find("\r\n\r\n");
        switch (fault) {
        case Fault::ServerError:
            EXPECT_EQ(got.rfind("HTTP/1.1 500", 0), 0u);
            EXPECT_NE(headEnd, std::string::npos);
            break;
        case Fault::Dropped:
            EXPECT_TRUE(got.empty()) << got.substr(0, 100);
            break;
        case Fault::Truncated: {
            ASSERT_NE(headEnd, std::string::npos);
            const auto length = got.find("Content-Length: ");
            ASSERT_NE(length, std::string::npos);
            const std::size_t announced = std::stoul(got.substr(length + 16));
            EXPECT_EQ(got.size() - headEnd - 4, announced / 2);
            break;
        }
        case Fault::Stalled:
            EXPECT_NE(headEnd, std::string::npos);
            EXPECT_EQ(got.size(), headEnd + 4);
            EXPECT_GE(msSince(started), 250);
            break;
        case Fault::None:
        case Fault::Unavailable: // scripted only
            ADD_FAILURE() << "a request passed at fail rate 1";
            break;
        default: // page rewrites come only from a rewrite rate or a script
            ADD_FAILURE() << "a page rewrite without a rewrite rate";
        }
        ++seen[static_cast<std::size_t>(fault)];
    }
    EXPECT_EQ(market.server().counters().requests, 24u);
    EXPECT_EQ(market.server().counters().faults[0], 0u);
    for (std::size_t k = 1; k < seen.size(); ++k)
        EXPECT_GT(seen[k], 0) << faultName(static_cast<Fault>(k));
}

TEST(MarketServerFaults, DelayAppliesAndStopDoesNotWaitForStalls)
{
    MarketOptions o = MarketOptions::forTests();
    o.delayMs = 150;
    {
        TestServer market(o);
        httplib::Client client("127.0.0.1", market.port());
        const auto started = Clock::now();
        const auto res = client.Get("/browse/ad_search.htm");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=GBK");
        EXPECT_GE(msSince(started), 140);
    }
    o.delayMs = 0;
    o.failRate = 1.0;
    o.stallMs = 60000;
    auto market = std::make_unique<TestServer>(o);
    // Find an address whose first request stalls, and leave a client hanging on it.
    FaultPlan plan(o.seed, 1.0);
    std::string stalled;
    for (int i = 0; stalled.empty() && i < 100; ++i) {
        const std::string path = "/search?q=x" + std::to_string(i);
        if (plan.decide(path, 0) == Fault::Stalled)
            stalled = path;
    }
    ASSERT_FALSE(stalled.empty());
    const int port = market->port();
    auto pending = std::async(std::launch::async, [port, stalled] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(30, 0);
        return static_cast<bool>(client.Get(stalled.c_str()));
    });
    for (int i = 0; i < 1000 && market->server().counters().requests == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(market->server().counters().requests, 1u);
    const auto started = Clock::now();
    market.reset();
    EXPECT_LT(msSince(started), 3000);
    EXPECT_FALSE(pending.get());
}

TEST(QuelmarketProgram, PrintsItsPortServesLogsAndStopsOnSigterm)
{
    quel::test::TempDir dir;
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(quel::test::binDir() + "/quelmarket",
        { "--port", "0", "--seed", "3", "--products", "40", "--now", "2026-12-07" });
    ASSERT_TRUE(process.waitForStarted(5000));
    ASSERT_TRUE(process.waitForReadyRead(10000));
    const QString first = QString::fromUtf8(process.readLine());
    // Scripts take the first number of the first line as the port.
    const auto match = QRegularExpression(QStringLiteral("[0-9]+")).match(first);
    ASSERT_TRUE(match.hasMatch()) << first.toStdString();
    const int port = match.captured(0).toInt();
    ASSERT_GT(port, 1024);
    EXPECT_TRUE(first.contains(QStringLiteral("http://127.0.0.1:%1").arg(port)));

    httplib::Client client("127.0.0.1", port);
    const auto res = client.Get("/search?q=%D5%FD%C6%B7&nick=&page=1");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);

    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    const QString log = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(log.contains(QStringLiteral("GET /search?q=%D5%FD%C6%B7&nick=&page=1 200")))
        << log.toStdString();

    QProcess bad;
    bad.start(quel::test::binDir() + "/quelmarket", { "--products", "many" });
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("bad value for --products"));
}

} // namespace

TEST(MarketServerFaults, RateLimitAnswers429WithRetryAfterAndScriptedFaultsHitTheirAddress)
{
    const ParsedOptions parsed = parseMarketArguments({ "--rate-limit", "3" });
    ASSERT_TRUE(parsed.error.empty());
    EXPECT_EQ(parsed.options.rateLimit, 3.0);
    for (const char* bad : { "x", "-1", "" })
        EXPECT_FALSE(parseMarketArguments({ "--rate-limit", bad }).error.empty()) << bad;

    MarketOptions o = MarketOptions::forTests();
    o.rateLimit = 3;
    o.scriptedFaults = { { "/browse/ad_search.htm", 0, Fault::Unavailable } };
    TestServer market(o);
    ASSERT_TRUE(market.isRunning());
    httplib::Client client("127.0.0.1", market.port());
    std::vector<int> statuses;
    for (int i = 0; i < 6; ++i) {
        const auto res = client.Get("/index.htm?n=" + std::to_string(i));
        ASSERT_TRUE(res);
        statuses.push_back(res->status);
        if (res->status == 429) {
            EXPECT_EQ(res->get_header_value("Retry-After"), "1");
        }
    }
    EXPECT_EQ(statuses, (std::vector<int> { 200, 200, 200, 429, 429, 429 }));
    EXPECT_EQ(market.server().counters().rateLimited, 3u);

    // A second later the limit has room again; the scripted 503 comes on the first request of
    // its address only.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const auto first = client.Get("/browse/ad_search.htm");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 503);
    EXPECT_EQ(first->get_header_value("Retry-After"), "1");
    const auto second = client.Get("/browse/ad_search.htm");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 200);
    EXPECT_EQ(market.server().counters().faults[static_cast<std::size_t>(Fault::Unavailable)], 1u);
}

TEST(MarketRewrites, NamedOnTheCommandLineAndCutBodiesEndWithoutTheirClose)
{
    const ParsedOptions parsed = parseMarketArguments({ "--rewrite", "cut-closed@bid_page=2",
        "--rewrite", "login-wall", "--rewrite-rate", "0.2" });
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    ASSERT_EQ(parsed.options.scriptedFaults.size(), 2u);
    EXPECT_EQ(parsed.options.scriptedFaults[0].fault, Fault::CutClosed);
    EXPECT_EQ(parsed.options.scriptedFaults[0].targetPart, "bid_page=2");
    EXPECT_EQ(parsed.options.scriptedFaults[0].attempt, -1);
    EXPECT_EQ(parsed.options.scriptedFaults[1].targetPart, "");
    EXPECT_DOUBLE_EQ(parsed.options.rewriteRate, 0.2);
    EXPECT_FALSE(parseMarketArguments({ "--rewrite", "no-such-thing" }).error.empty());

    // Cut without a length: the close ends the body half way, before </html>; under a lying
    // length the announced half arrives and looks whole.
    MarketOptions o = MarketOptions::forTests();
    o.scriptedFaults = { { "id=", -1, Fault::CutClosed } };
    TestServer cut(o);
    const std::string path = "/item.htm?id=" + cut.catalogue().products()[0].code + "&page_size=90";
    const std::string got = rawGet(cut.port(), path);
    EXPECT_EQ(got.find("Content-Length: "), std::string::npos);
    EXPECT_EQ(got.find("</html>"), std::string::npos);
    EXPECT_NE(got.find("<html"), std::string::npos);

    o.scriptedFaults = { { "id=", -1, Fault::LyingLength } };
    TestServer lying(o);
    const std::string half = rawGet(lying.port(), path);
    const auto headEnd = half.find("\r\n\r\n");
    const auto length = half.find("Content-Length: ");
    ASSERT_NE(length, std::string::npos);
    EXPECT_EQ(half.size() - headEnd - 4, std::stoul(half.substr(length + 16)));
    EXPECT_EQ(half.find("</html>"), std::string::npos);
}
