#include "core/pause.h"
#include "fixture_server.h"
#include "page_fixtures.h"
#include "web/browser.h"
#include "worker/fetch_page.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace quel::worker;
using namespace quel::worker::test;

namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "test_fetch_page";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    return app;
}

class FetchPage : public ::testing::Test
{
protected:
    void SetUp() override { application(); }

    // Loads a fixed page the way the job does and waits for its completion tag.
    void load(const QString& page)
    {
        const QString url = m_server.base() + "/" + page;
        StartNavigation(m_browser, url, 10);
        for (int i = 0; i < 500 && !IsPageReady(m_browser); ++i)
            quel::core::Pause(10);
        ASSERT_TRUE(IsPageReady(m_browser)) << page.toStdString();
    }

    FixtureServer m_server;
    quel::web::Browser m_browser;
};

} // namespace

TEST_F(FetchPage, NavigationSetsTheHandshakeTags)
{
    m_browser.navigate("about:blank");
    quel::core::Pause(20);
    EXPECT_FALSE(IsPageReady(m_browser)); // the blank page never counts as downloaded
    m_browser.setSilent(false);
    load("item_a_s2.html");
    EXPECT_TRUE(m_browser.silent());
    EXPECT_EQ(m_browser.tag(), kDownFinished);
    EXPECT_FALSE(PageLoadFailed(m_browser));
    load("no_such_page.html");
    EXPECT_TRUE(PageLoadFailed(m_browser));
}

TEST_F(FetchPage, FindElementMatchesExactlyOrByContainment)
{
    load("item_a_s2.html");
    const QString next = m_server.base() + "/item_a_s3.html";
    // Any tag, exact text: the link around the SPAN comes first in document order.
    EXPECT_EQ(FindElementAndClick(m_browser, "下一页", false, QString(), kMatchExact), next);
    EXPECT_EQ(m_browser.tag(), ""); // emptied for the click that was not made
    // Containment finds the previous-page link first; a tag name narrows the walk.
    EXPECT_EQ(FindElementAndClick(m_browser, "一页", false, "a", "like"),
        m_server.base() + "/item_a_s1.html");
    EXPECT_EQ(FindElementAndClick(m_browser, "一页", false, "SPAN", "like"), "");
    EXPECT_EQ(FindElementAndClick(m_browser, "一页", false, QString(), kMatchExact), "");
    EXPECT_EQ(FindElementAndClick(m_browser, "", false, QString(), kMatchExact), "");

    // With the click flag the link is followed.
    EXPECT_EQ(FindElementAndClick(m_browser, "下一页", true, QString(), kMatchExact), next);
    for (int i = 0; i < 500 && !IsPageReady(m_browser); ++i)
        quel::core::Pause(10);
    EXPECT_EQ(m_browser.locationUrl(), next);
}
