#include "support/temp_dir.h"
#include "web/document.h"
#include "web/nesting_scan.h"
#include "web/rate_limit.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using namespace quel::web;

namespace {

QByteArray Repeat(const char* piece, int times)
{
    QByteArray out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

} // namespace

TEST(NestingScan, RealPagesPassAndDeepNestingIsRefused)
{
    // Every page the parsers are tested on stays far below the limit.
    const QString data = quel::test::testDataDir();
    int pages = 0;
    for (const QString& folder : { data + "/search", data + "/worker/pages" }) {
        for (const QString& name : QDir(folder).entryList({ "*.html" })) {
            QFile file(folder + '/' + name);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_TRUE(NestingWithin(file.readAll(), 64)) << name.toStdString();
            ++pages;
        }
    }
    EXPECT_GT(pages, 5);

    const struct
    {
        QByteArray markup;
        bool within;
    } cases[] = {
        { Repeat("<div>", 101), false },
        { Repeat("<div>x</div>", 5000), true },
        // "/>" does not close an HTML element, only an SVG or MathML one.
        { Repeat("<div/>", 101), false },
        { "<svg>" + Repeat("<path d='M0 0'/>", 500) + "</svg>", true },
        // Elements that a sibling closes, void elements, stray end tags.
        { Repeat("<p>a<li>b<td>c<br><img src=x><option>", 500), true },
        { Repeat("</span><div>", 101), false },
        // Markup inside comments, scripts and quoted attributes is not markup.
        { "<!--" + Repeat("<div>", 500) + "-->", true },
        { "<script>" + Repeat("<div>", 500) + "</script><p>", true },
        { "<a title='" + Repeat("<div>", 500) + "'>x</a>", true },
        { Repeat("<b><i>", 40) + Repeat("</i></b>", 40) + Repeat("<span>", 60), true },
        { "", true },
        { "<", true },
        { "<div", true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(NestingWithin(c.markup, 100), c.within) << c.markup.left(60).toStdString();
}

TEST(NestingScan, ADeeplyNestedDocumentIsRefusedNotParsed)
{
    const QString page = QString::fromLatin1("<html><body>" + Repeat("<div>", 200000) + "x");
    const auto doc = Document::parse(page);
    EXPECT_TRUE(doc->refused());
    EXPECT_TRUE(doc->all().empty());
    EXPECT_EQ(doc->readyState(), u"complete");

    const auto fine = Document::parse(QString::fromLatin1(Repeat("<div>", 1000) + "x"));
    EXPECT_FALSE(fine->refused());
    EXPECT_EQ(fine->all().size(), 1003u); // HTML, HEAD, BODY and the divs
}

TEST(SharedRateLimit, ProcessesSharingTheSlotFileTakeTurns)
{
    quel::test::TempDir dir;
    const QString slotFile = dir.file("rate.slot");
    SharedRateLimit first(10, slotFile);
    SharedRateLimit second(10, slotFile);
    // Ten requests a second between them: each reservation is 100 ms after the one before,
    // whichever of the two makes it.
    qint64 previous = -1;
    for (int i = 0; i < 6; ++i) {
        const qint64 wait = (i % 2 ? second : first).reserve();
        if (previous >= 0) {
            EXPECT_GE(wait, previous + 90) << i;
            EXPECT_LE(wait, previous + 110) << i;
        }
        previous = wait;
    }
    EXPECT_TRUE(QFile::exists(slotFile));

    SharedRateLimit alone(4); // no file: the process keeps the rate by itself
    EXPECT_EQ(alone.reserve(), 0);
    EXPECT_GE(alone.reserve(), 240);
    EXPECT_EQ(SharedRateLimit(0, slotFile).reserve(), 0);
}

TEST(SharedRateLimit, TheEnvironmentCarriesRateAndSlotFile)
{
    QProcessEnvironment env;
    SetRateLimitEnvironment(env, 2.5, "/data/rate.slot");
    EXPECT_EQ(env.value(kRateVariable), u"2.5");
    EXPECT_EQ(env.value(kRateFileVariable), u"/data/rate.slot");

    qputenv(kRateVariable, "2.5");
    qputenv(kRateFileVariable, "/data/rate.slot");
    const auto limit = RateLimitFromEnvironment();
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->rate(), 2.5);
    EXPECT_EQ(limit->slotFile(), u"/data/rate.slot");

    SetRateLimitEnvironment(env, 0, "/data/rate.slot");
    EXPECT_FALSE(env.contains(kRateVariable));
    EXPECT_FALSE(env.contains(kRateFileVariable));
    for (const char* bad : { "0", "-3", "many", "" }) {
        qputenv(kRateVariable, bad);
        EXPECT_EQ(RateLimitFromEnvironment(), nullptr) << bad;
    }
    qunsetenv(kRateVariable);
    qunsetenv(kRateFileVariable);
}
