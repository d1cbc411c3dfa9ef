#include "core/feedback.h"
#include "local_server.h"
#include "support/fake_feedback.h"
#include "support/print_qstring.h"
#include "web/browser.h"
#include "web/page_dump.h"
#include "web/page_loader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <zlib.h>

using namespace quel::web;

namespace {

std::string Gbk(const QString& text)
{
    QStringEncoder gbk("GBK");
    const QByteArray bytes = gbk.encode(text);
    return bytes.toStdString();
}

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

std::string Gzip(const std::string& data)
{
    z_stream zs {};
    deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(data.size() + 128, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// The user has closed the progress window.
quel::test::FakeFeedback ClosedIndicator()
{
    quel::test::FakeFeedback feedback { quel::test::FakeFeedback::AlwaysOpen };
    feedback.cancelled = true;
    return feedback;
}

class BrowserTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_web_browser";
            static char* argv[] = { name, nullptr };
            new QCoreApplication(argc, argv);
        }
    }

    // Loads a page the way the search does; true when it completed within the budget.
    bool load(Browser& browser, const QString& address, int budget = 50)
    {
        browser.setTag(QString());
        NavigateTo(browser, address);
        WaitForPage(budget, browser, QString(), 100);
        return browser.readyState() == u"complete" && !browser.busy()
            && browser.tag() == kDownFinished;
    }

    LocalServer server;
};

} // namespace

TEST_F(BrowserTest, AboutBlankCompletesWithoutTheTag)
{
    Browser browser;
    EXPECT_EQ(browser.readyState(), QStringLiteral("uninitialized"));
    NavigateTo(browser, QStringLiteral("about:blank"));
    EXPECT_EQ(browser.locationUrl(), QStringLiteral("about:blank"));
    EXPECT_TRUE(WaitForPage(5, browser, QString(), 100) || true);
    EXPECT_EQ(browser.readyState(), QStringLiteral("complete"));
    EXPECT_FALSE(browser.busy());
    EXPECT_EQ(browser.tag(), QString());
    EXPECT_EQ(GetBodyHtml(browser), QString());
    EXPECT_TRUE(browser.silent());
}

TEST_F(BrowserTest, CharsetFromHeaderMetaAndFallback)
{
    const QString text = QStringLiteral("<p>诺基亚 5200 买家出价记录</p>");
    server.http().Get("/header", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Gbk(text), "text/html; charset=GBK");
    });
    server.http().Get("/meta", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Gbk(QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                                           "content=\"text/html; charset=gb2312\"></head><body>")
                            + text),
            "text/html");
    });
    server.http().Get("/meta5", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Gbk(QStringLiteral("<meta charset=\"gbk\">") + text), "text/html");
    });
    server.http().Get("/fallback", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Gbk(text), "text/html");
    });
    server.http().Get("/utf8", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Utf8(text), "text/html");
    });
    server.start();

    Browser browser;
    for (const char* path : { "/header", "/meta", "/meta5", "/fallback", "/utf8" }) {
        ASSERT_TRUE(load(browser, server.url(path))) << path;
        EXPECT_EQ(GetBodyHtml(browser), QStringLiteral("<P>诺基亚 5200 买家出价记录</P>")) << path;
        EXPECT_TRUE(PageContains(QStringLiteral("买家出价记录"), browser));
    }
    EXPECT_EQ(browser.document()->charset(), QStringLiteral("UTF-8"));
    ASSERT_TRUE(load(browser, server.url("/header")));
    EXPECT_EQ(browser.document()->charset(), QStringLiteral("GBK"));
}

TEST_F(BrowserTest, FormFromAGbkPageIsSentGbkEncoded)
{
    std::mutex lock;
    std::string query;
    std::string postBody;
    const QString form = QStringLiteral(
        "<form name=mainform action=\"/browse/search.htm\" method=%1>"
        "<input name=q><input name=nick value=old><input type=hidden name=cat value=50>"
        "<input type=checkbox name=off value=1><input type=button name=b value=x>"
        "<input type=\"submit\" value=\"  搜 索  \" name=\"Submit\"></form>");
    server.http().Get(
        "/browse/ad_search.htm", [&](const httplib::Request&, httplib::Response& res) {
            res.set_content(Gbk(form.arg(QStringLiteral("get"))), "text/html; charset=gbk");
        });
    server.http().Get("/post.htm", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Gbk(form.arg(QStringLiteral("post"))), "text/html; charset=gbk");
    });
    auto results = [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(lock);
        query = req.target;
        postBody = req.body;
        res.set_content(Gbk(QStringLiteral("<p>共3页</p>")), "text/html; charset=gbk");
    };
    server.http().Get("/browse/search.htm", results);
    server.http().Post("/browse/search.htm", results);
    server.start();

    Browser browser;
    ASSERT_TRUE(load(browser, server.url("/browse/ad_search.htm")));
    Node* mainform = browser.document()->form(QStringLiteral("mainform"));
    ASSERT_NE(mainform, nullptr);
    mainform->field(QStringLiteral("q"))->setValue(QStringLiteral("诺基亚 5200"));
    mainform->field(QStringLiteral("nick"))->setValue(QStringLiteral("小王&1"));
    bool found = true;
    FindFormButton(mainform, QStringLiteral("搜 索"), true, QStringLiteral("submit"), &found);
    EXPECT_FALSE(found);
    EXPECT_EQ(browser.readyState(), QStringLiteral("complete"));
    browser.setTag(QString());
    EXPECT_EQ(FindFormButton(
                  mainform, QStringLiteral("  搜 索  "), true, QStringLiteral("submit"), &found),
        QString());
    EXPECT_TRUE(found);
    WaitForPage(50, browser, QStringLiteral("页<"), 100);
    EXPECT_TRUE(PageContains(QStringLiteral("共3页"), browser));
    const std::string expected = "q=%C5%B5%BB%F9%D1%C7+5200&nick=%D0%A1%CD%F5%261&cat=50"
                                 "&Submit=++%CB%D1+%CB%F7++";
    {
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(query, "/browse/search.htm?" + expected);
    }
    EXPECT_EQ(browser.locationUrl(),
        server.url("/browse/search.htm?") + QString::fromStdString(expected));

    ASSERT_TRUE(load(browser, server.url("/post.htm")));
    mainform = browser.document()->form(QStringLiteral("mainform"));
    mainform->field(QStringLiteral("q"))->setValue(QStringLiteral("诺基亚 5200"));
    mainform->field(QStringLiteral("nick"))->setValue(QStringLiteral("小王&1"));
    browser.setTag(QString());
    FindFormButton(mainform, QStringLiteral("  搜 索  "), true, QStringLiteral("SUBMIT"));
    WaitForPage(50, browser, QStringLiteral("页<"), 100);
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(query, "/browse/search.htm");
    EXPECT_EQ(postBody, expected);
}

TEST_F(BrowserTest, ClicksFollowLinksInDocumentOrder)
{
    std::atomic<int> pageTwoHits { 0 };
    server.http().Get("/list", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Utf8(QStringLiteral(
                            "<a href=\"/rate\">评价</a><span>下一页</span>"
                            "<div><a class=next href=\"list2?page=2\"><span>下一页</span></a></div>"
                            "<a href=\"javascript:go()\">成交记录(5)</a>"
                            "<a href=\"/deals\">查看成交记录</a>")),
            "text/html");
    });
    server.http().Get("/list2", [&](const httplib::Request&, httplib::Response& res) {
        ++pageTwoHits;
        res.set_content("<p>page two</p>", "text/html");
    });
    server.http().Get("/deals", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("<p>deals</p>", "text/html");
    });
    server.start();

    Browser browser;
    ASSERT_TRUE(load(browser, server.url("/list")));
    // Any tag, exact text: the SPAN standing alone comes first in document order.
    EXPECT_EQ(FindElementAndClick(browser, QStringLiteral("下一页"), false, QString()), QString());
    // The A around a SPAN is found before the SPAN inside it.
    EXPECT_EQ(FindElementAndClick(browser, QStringLiteral("下一页"), false, QStringLiteral("a")),
        server.url("/list2?page=2"));
    EXPECT_EQ(
        FindElementAndClick(browser, QStringLiteral("没有"), true, QStringLiteral("A")), QString());
    EXPECT_EQ(FindElementAndClick(browser, QString(), true, QStringLiteral("A")), QString());
    EXPECT_EQ(browser.readyState(), QStringLiteral("complete"));

    // A link to a script is found but clicking it goes nowhere.
    EXPECT_EQ(FindElementAndClick(browser, QStringLiteral("成交记录"), true, QStringLiteral("A"),
                  MatchMode::Contains),
        QStringLiteral("javascript:go()"));
    EXPECT_EQ(browser.readyState(), QStringLiteral("complete"));
    EXPECT_EQ(browser.tag(), QString());

    EXPECT_EQ(FindElementAndClick(browser, QStringLiteral("下一页"), true, QStringLiteral("A")),
        server.url("/list2?page=2"));
    EXPECT_EQ(browser.readyState(), QStringLiteral("loading"));
    WaitForPage(50, browser, QString(), 100);
    EXPECT_EQ(GetBodyHtml(browser), QStringLiteral("<P>page two</P>"));
    EXPECT_EQ(browser.tag(), kDownFinished);
    EXPECT_EQ(pageTwoHits, 1);
}

TEST_F(BrowserTest, RedirectsCookiesGzipAndReloads)
{
    std::atomic<int> hits { 0 };
    server.http().Get("/old",
        [&](const httplib::Request&, httplib::Response& res) { res.set_redirect("/new?x=1"); });
    server.http().Get("/new", [&](const httplib::Request&, httplib::Response& res) {
        ++hits;
        res.set_header("Set-Cookie", "session=abc; Path=/");
        res.set_content("<p>new</p>", "text/html");
    });
    server.http().Get("/cookie", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<p>" + req.get_header_value("Cookie") + "</p>", "text/html");
    });
    server.http().Get("/gz", [&](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("Accept-Encoding").find("gzip") == std::string::npos) {
            res.status = 406;
            return;
        }
        // A type the server library does not compress again on its own.
        res.set_header("Content-Encoding", "gzip");
        res.set_content(
            Gzip(Utf8(QStringLiteral("<p>压缩的页面</p>"))), "application/octet-stream");
    });
    server.start();

    Browser browser;
    ASSERT_TRUE(load(browser, server.url("/old")));
    EXPECT_EQ(browser.locationUrl(), server.url("/new?x=1"));
    EXPECT_EQ(GetBodyHtml(browser), QStringLiteral("<P>new</P>"));
    ASSERT_TRUE(load(browser, server.url("/cookie")));
    EXPECT_EQ(GetBodyHtml(browser), QStringLiteral("<P>session=abc</P>"));

    // Each browser object keeps its own cookies.
    Browser other;
    ASSERT_TRUE(load(other, server.url("/cookie")));
    EXPECT_EQ(GetBodyHtml(other), QStringLiteral("<P></P>"));

    ASSERT_TRUE(load(browser, server.url("/gz")));
    EXPECT_EQ(GetBodyHtml(browser), QStringLiteral("<P>压缩的页面</P>"));

    // The same address twice: the tag is set again by the second load.
    ASSERT_TRUE(load(browser, server.url("/new")));
    ASSERT_TRUE(load(browser, server.url("/new")));
    EXPECT_EQ(hits, 3);
}

TEST_F(BrowserTest, FailedLoadsCompleteWithWhatArrived)
{
    server.http().Get("/slow", [&](const httplib::Request&, httplib::Response& res) {
        server.sleepUnlessStopping(5000);
        res.set_content("<p>late</p>", "text/html");
    });
    server.http().Get("/missing", [&](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content(Utf8(QStringLiteral("<p>没有这个页面</p>")), "text/html");
    });
    server.http().Get("/cut", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(
            100000, "text/html", [](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 0)
                    sink.write("<p>first part", 13);
                return false;
            });
    });
    server.http().Get("/bytes", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string("<p>a\xff\xfe\x80z</p>"), "text/html; charset=utf-8");
    });
    server.start();

    LocalServer closed;
    closed.start();
    const QString refused = closed.url("/nothing");
    closed.stop();

    struct Case
    {
        QString address;
        QString body;
        bool fails = true;
        bool incomplete = true; // not merely an error status with its whole error page
    };
    const Case cases[] = {
        { refused, QString() },
        { server.url("/slow"), QString() },
        { server.url("/missing"), QStringLiteral("<P>没有这个页面</P>"), true, false },
        { server.url("/cut"), QStringLiteral("<P>first part</P>") },
        { server.url("/bytes"), QStringLiteral("<P>a\uFFFD\uFFFD\uFFFDz</P>"), false, false },
        { QStringLiteral("ftp://127.0.0.1/x"), QString() },
        { QStringLiteral("not a web address"), QString() },
    };
    Browser browser;
    browser.setRequestTimeout(300);
    for (const Case& c : cases) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(load(browser, c.address, 30)) << c.address.toStdString();
        EXPECT_LT(timer.elapsed(), 3000) << c.address.toStdString();
        EXPECT_EQ(GetBodyHtml(browser), c.body) << c.address.toStdString();
        EXPECT_EQ(browser.errorString().isEmpty(), !c.fails) << c.address.toStdString();
        EXPECT_EQ(browser.loadIncomplete(), c.incomplete) << c.address.toStdString();
        EXPECT_EQ(browser.attempts(), c.address.startsWith(u"http") ? 1 : 0);
    }
    EXPECT_EQ(browser.httpStatus(), 0);
    ASSERT_TRUE(load(browser, server.url("/missing")));
    EXPECT_EQ(browser.httpStatus(), 404);
}

TEST_F(BrowserTest, WaitForPageLimitsCancellationAndMarker)
{
    server.http().Get("/hang", [&](const httplib::Request&, httplib::Response& res) {
        server.sleepUnlessStopping(20000);
        res.set_content("x", "text/html");
    });
    server.http().Get("/quick", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("<p>第1页</p>", "text/html; charset=utf-8");
    });
    server.start();

    Browser browser;
    // A page that never completes costs three budgets of passes, then the wait says true.
    NavigateTo(browser, server.url("/hang"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(WaitForPage(3, browser, QStringLiteral("never"), 100));
    EXPECT_GE(timer.elapsed(), 850);
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(browser.readyState(), QStringLiteral("loading"));
    EXPECT_TRUE(browser.busy());

    // A closed progress window ends the wait after one pass.
    timer.restart();
    EXPECT_FALSE(WaitForPage(100, browser, true, QString(), ClosedIndicator(), 100));
    EXPECT_LT(timer.elapsed(), 1000);
    // A budget of nothing does not wait at all.
    EXPECT_TRUE(WaitForPage(0, browser, QString(), 1000));

    // A page that completes ends its pass early; the marker ends the wait.
    browser.setTag(QString());
    NavigateTo(browser, server.url("/quick"));
    timer.restart();
    EXPECT_TRUE(WaitForPage(10, browser, QStringLiteral("页<"), 5000));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(browser.readyState(), QStringLiteral("complete"));
}

TEST_F(BrowserTest, DumpGivesTheSerialisedBody)
{
    server.http().Get("/item.htm", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(Gbk(QStringLiteral("<title>x</title><div class=\"tb-detail\">"
                                           "<em id=J_StrPrice>12.00</em>\n</div>")),
            "text/html; charset=gbk");
    });
    server.start();
    QString error;
    EXPECT_EQ(LoadBodyHtml(server.url("/item.htm?id=7"), &error, 2000),
        QStringLiteral("<DIV class=tb-detail><EM id=J_StrPrice>12.00</EM>\r\n</DIV>"));
    EXPECT_EQ(error, QString());
    EXPECT_EQ(LoadBodyHtml(QStringLiteral("mailto:x@y"), &error, 2000), QString());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(BrowserTest, DownloadFinishedTagRules)
{
    Browser browser;
    browser.setTag(QStringLiteral("StartDown"));
    NavigateTo(browser, QStringLiteral("about:blank"));
    WaitForPage(3, browser, QString(), 50);
    EXPECT_EQ(browser.tag(), QStringLiteral("StartDown"));
    MarkDownloadFinished(browser);
    EXPECT_EQ(browser.tag(), QStringLiteral("StartDown"));

    browser.setMarksDownloadFinished(false);
    browser.navigate(QStringLiteral("http:///"));
    EXPECT_EQ(browser.locationUrl(), QStringLiteral("http:///"));
    WaitForPage(3, browser, QString(), 50);
    EXPECT_EQ(browser.readyState(), QStringLiteral("complete"));
    MarkDownloadFinished(browser);
    EXPECT_EQ(browser.tag(), QStringLiteral("StartDown"));
}

TEST_F(BrowserTest, PassingFailuresAreRetriedWithBackoffAndRetryAfter)
{
    std::mutex mutex;
    std::map<std::string, int> asked;
    const auto count = [&](const httplib::Request& req) {
        std::lock_guard lock(mutex);
        return ++asked[req.path];
    };
    // Fails once with 503, then answers.
    server.http().Get("/flaky", [&](const httplib::Request& req, httplib::Response& res) {
        if (count(req) == 1) {
            res.status = 503;
            res.set_content("<p>busy</p>", "text/html");
            return;
        }
        res.set_content("<p>here</p>", "text/html");
    });
    // Asks for an hour's patience every time.
    server.http().Get("/busy", [&](const httplib::Request& req, httplib::Response& res) {
        count(req);
        res.status = 429;
        res.set_header("Retry-After", "3600");
        res.set_content("<p>slow down</p>", "text/html");
    });
    // Cuts its body short once.
    server.http().Get("/cut", [&](const httplib::Request& req, httplib::Response& res) {
        const bool first = count(req) == 1;
        const std::string page = "<p>" + std::string(2000, 'x') + "</p>";
        res.set_content_provider(page.size(), "text/html",
            [first, page](size_t offset, size_t, httplib::DataSink& sink) {
                if (first && offset > 0)
                    return false;
                sink.write(page.data() + offset, first ? 100 : page.size() - offset);
                return true;
            });
    });
    // An error that no retry mends.
    server.http().Get("/gone", [&](const httplib::Request& req, httplib::Response& res) {
        count(req);
        res.status = 404;
        res.set_content("<p>gone</p>", "text/html");
    });
    server.start();

    Browser browser;
    RetryPolicy policy;
    policy.retries = 2;
    policy.baseDelayMs = 50;
    policy.maxRetryAfterMs = 400;
    browser.setRetryPolicy(policy);

    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(load(browser, server.url("/flaky")));
    EXPECT_EQ(GetBodyHtml(browser), QStringLiteral("<P>here</P>"));
    EXPECT_TRUE(browser.errorString().isEmpty());
    EXPECT_EQ(browser.attempts(), 2);
    EXPECT_GE(timer.elapsed(), 50); // the backoff was kept

    ASSERT_TRUE(load(browser, server.url("/cut")));
    EXPECT_FALSE(browser.loadIncomplete());
    EXPECT_EQ(browser.attempts(), 2);
    EXPECT_TRUE(GetBodyHtml(browser).endsWith(QStringLiteral("xx</P>")));

    // Retry-After is honoured up to the cap: two waits of 400 ms, not two hours.
    timer.restart();
    ASSERT_TRUE(load(browser, server.url("/busy"), 100));
    EXPECT_GE(timer.elapsed(), 800);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(browser.httpStatus(), 429);
    EXPECT_FALSE(browser.errorString().isEmpty());
    EXPECT_EQ(browser.attempts(), 3);

    ASSERT_TRUE(load(browser, server.url("/gone")));
    EXPECT_EQ(browser.attempts(), 1);
    std::lock_guard lock(mutex);
    EXPECT_EQ(asked["/busy"], 3);
    EXPECT_EQ(asked["/gone"], 1);
}

TEST_F(BrowserTest, RequestsWaitForTheirGateAndHostilePagesAreRefused)
{
    server.http().Get("/page", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("<p>ok</p>", "text/html");
    });
    server.http().Get("/huge", [&](const httplib::Request&, httplib::Response& res) {
        // A fixed-length provider goes out uncompressed.
        const auto page = std::make_shared<std::string>(size_t(kMaxPageBytes) + 1000, 'x');
        res.set_content_provider(page->size(), "text/html",
            [page](size_t offset, size_t length, httplib::DataSink& sink) {
                return sink.write(page->data() + offset, std::min(length, page->size() - offset));
            });
    });
    server.http().Get("/nested", [&](const httplib::Request&, httplib::Response& res) {
        std::string page = "<html><body>";
        for (int i = 0; i < 100000; ++i)
            page += "<div>";
        res.set_content(page + "deep", "text/html");
    });
    server.start();

    Browser browser;
    int asked = 0;
    browser.setRequestGate([&asked] { return ++asked == 1 ? qint64(300) : qint64(0); });
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(load(browser, server.url("/page")));
    EXPECT_GE(timer.elapsed(), 250); // coarse timers may fire a little early
    EXPECT_EQ(GetBodyHtml(browser), QStringLiteral("<P>ok</P>"));

    for (const char* path : { "/huge", "/nested" }) {
        timer.restart();
        ASSERT_TRUE(load(browser, server.url(path))) << path;
        EXPECT_LT(timer.elapsed(), 10000) << path;
        EXPECT_TRUE(browser.loadIncomplete()) << path;
        EXPECT_FALSE(browser.errorString().isEmpty()) << path;
        EXPECT_TRUE(GetBodyHtml(browser).isEmpty()) << path;
    }
    EXPECT_EQ(asked, 3);
}
